#pragma once
// Every thread of a program that captures crashes gets an alternate signal stack from its first
// instruction: this file defines pthread_create in the executable, which comes before the C
// library's definition for every caller (the program's own threads such as the HTTP worker and
// the upload thread, and the threads that GLib, GTK or curl start), and wraps each thread's
// routine in a platform::SignalStack. Threads started before the handlers are installed are
// covered as well.

namespace Plenvo {

// Called at installation so the linker keeps this file in the program.
bool ThreadSignalStacksLinked();

} // namespace Plenvo
