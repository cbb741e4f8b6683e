#include "platform/GLibQueueSource.h"

#include "platform/MessageQueue.h"
#include "platform/Messaging.h"
#include "platform/Tick.h"

#include <glib.h>

#include <algorithm>

namespace platform {

namespace {

struct QueueGSource {
    GSource base;
    GLibQueueSource* owner;
};

// How many messages a nested loop serves per dispatch before it lets GTK run again.
constexpr int kNestedBatch = 64;

} // namespace

GLibQueueSource::GLibQueueSource(MessageQueue& queue)
    : queue_(queue), context_(g_main_context_ref(g_main_context_default())) {
    static GSourceFuncs funcs = {[](GSource* s, gint* t) -> gboolean { return Prepare(s, t); },
                                 [](GSource* s) -> gboolean { return Check(s); },
                                 [](GSource* s, GSourceFunc cb, gpointer data) -> gboolean {
                                     return Dispatch(s, reinterpret_cast<void*>(cb), data);
                                 },
                                 nullptr,
                                 nullptr,
                                 nullptr};
    source_ = g_source_new(&funcs, sizeof(QueueGSource));
    reinterpret_cast<QueueGSource*>(source_)->owner = this;
    g_source_set_priority(source_, G_PRIORITY_DEFAULT);
    g_source_set_can_recurse(source_, TRUE);
    g_source_attach(source_, context_);
}

GLibQueueSource::~GLibQueueSource() {
    g_source_destroy(source_);
    g_source_unref(source_);
    g_main_context_unref(context_);
}

GLibQueueSource* GLibQueueSource::Self(GSource* source) {
    return reinterpret_cast<QueueGSource*>(source)->owner;
}

void GLibQueueSource::Wake() {
    g_main_context_wakeup(context_);
}

bool GLibQueueSource::ServedByGet(int depthOffset) const {
    return getDepth_ >= 0 && g_main_depth() == getDepth_ + depthOffset;
}

void GLibQueueSource::IterateForGet(long long timeoutMs) {
    GSource* limit = nullptr;
    if (timeoutMs >= 0) {
        limit = g_timeout_source_new(static_cast<guint>(std::min<long long>(timeoutMs, G_MAXUINT)));
        g_source_set_callback(
            limit, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
        g_source_attach(limit, context_);
    }
    const int outer = getDepth_;
    getDepth_ = g_main_depth();
    g_main_context_iteration(context_, TRUE);
    getDepth_ = outer;
    if (limit) {
        g_source_destroy(limit);
        g_source_unref(limit);
    }
}

int GLibQueueSource::Prepare(GSource* source, int* timeout) {
    GLibQueueSource* self = Self(source);
    const bool includeQuit = self->ServedByGet(0);
    std::lock_guard lock(self->queue_.mutex_);
    const std::uint64_t now = GetTickCount();
    if (self->queue_.ReadyLocked(now, includeQuit)) {
        *timeout = 0;
        return TRUE;
    }
    long long next = ClockIsManual() ? -1 : self->queue_.NextTimeoutLocked(now);
    *timeout = next < 0 ? -1 : static_cast<int>(std::min<long long>(next, G_MAXINT));
    return FALSE;
}

int GLibQueueSource::Check(GSource* source) {
    GLibQueueSource* self = Self(source);
    const bool includeQuit = self->ServedByGet(0);
    std::lock_guard lock(self->queue_.mutex_);
    return self->queue_.ReadyLocked(GetTickCount(), includeQuit);
}

int GLibQueueSource::Dispatch(GSource* source, void*, void*) {
    GLibQueueSource* self = Self(source);
    if (self->ServedByGet(1)) {
        // The iteration returns to Get, which takes the message itself.
        return G_SOURCE_CONTINUE;
    }
    // A nested loop (a modal dialog, a GTK signal handler's own loop): serve the messages here,
    // as a modal loop on the original platform does, and leave the quit request for Get.
    for (int i = 0; i < kNestedBatch; ++i) {
        MSG msg;
        {
            std::lock_guard lock(self->queue_.mutex_);
            if (!self->queue_.TakeLocked(msg, true, GetTickCount(), false)) {
                break;
            }
        }
        DispatchMessage(msg);
    }
    return G_SOURCE_CONTINUE;
}

} // namespace platform
