#pragma once
// Serves a MessageQueue from the default GLib main context: the queue's messages and timers make
// the source ready, so GTK's events and the program's messages run in one loop, and an idle
// queue lets the loop sleep until the next timer is due.
struct _GSource;
struct _GMainContext;

namespace platform {

class MessageQueue;

class GLibQueueSource {
public:
    explicit GLibQueueSource(MessageQueue& queue);
    ~GLibQueueSource();
    GLibQueueSource(const GLibQueueSource&) = delete;
    GLibQueueSource& operator=(const GLibQueueSource&) = delete;

    // Any thread: interrupt a blocking iteration so that a new message is seen.
    void Wake();
    // Owner thread: one blocking iteration of the main context on behalf of MessageQueue::Get,
    // returning after at most timeoutMs when that is not negative.
    void IterateForGet(long long timeoutMs = -1);

private:
    static int Prepare(_GSource* source, int* timeout);
    static int Check(_GSource* source);
    static int Dispatch(_GSource* source, void* callback, void* data);
    static GLibQueueSource* Self(_GSource* source);
    bool ServedByGet(int depthOffset) const;

    MessageQueue& queue_;
    _GMainContext* context_;
    _GSource* source_;
    // g_main_depth() at which Get iterates, -1 while no Get waits.
    int getDepth_ = -1;
};

} // namespace platform
