// Per-thread message queues, dispatching and the default window procedure.
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/win/internal.h"
#include "platform/win/messages.h"
#include "platform/win/thread.h"
#include "platform/win/time.h"
#include "platform/win/window.h"

namespace plat {
namespace {

// A message another thread sent and waits on.
struct SentMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false;
};

struct Queue {
    std::mutex mutex;
    std::condition_variable sentDone;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
};

// As on the desktop, a queue holds at most this many posted messages.
constexpr size_t kQueueLimit = 10000;

struct QueueTable {
    std::mutex mutex;
    std::unordered_map<DWORD, std::shared_ptr<Queue>> queues;
};
QueueTable& Queues() {
    static QueueTable* table = new QueueTable;
    return *table;
}

std::shared_ptr<Queue> FindQueue(DWORD threadId) {
    QueueTable& table = Queues();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.queues.find(threadId);
    return it == table.queues.end() ? nullptr : it->second;
}

bool Matches(const MSG& msg, HWND filter, UINT filterMin, UINT filterMax) {
    if (filter == ThreadMessagesOnly()) {
        if (msg.hwnd != nullptr) return false;
    } else if (filter != nullptr && msg.hwnd != filter) {
        return false;
    }
    if (filterMin == 0 && filterMax == 0) return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

std::mutex g_keysMutex;
BYTE g_keys[256];

}  // namespace

namespace detail {

void EnsureQueue(DWORD threadId) {
    QueueTable& table = Queues();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto& slot = table.queues[threadId];
    if (!slot) slot = std::make_shared<Queue>();
}

void RemoveQueue(DWORD threadId) {
    std::shared_ptr<Queue> queue;
    {
        QueueTable& table = Queues();
        std::lock_guard<std::mutex> lock(table.mutex);
        auto it = table.queues.find(threadId);
        if (it == table.queues.end()) return;
        queue = std::move(it->second);
        table.queues.erase(it);
    }
    // Anyone still waiting on a message sent to the thread gets 0 instead of waiting for ever.
    std::lock_guard<std::mutex> lock(queue->mutex);
    for (auto& sent : queue->sent) sent->done = true;
    queue->sent.clear();
    queue->sentDone.notify_all();
}

bool PostToThread(DWORD threadId, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<Queue> queue = FindQueue(threadId);
    if (!queue) return false;
    MSG msg;
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = timeGetTime();
    GetCursorPos(&msg.pt);
    std::lock_guard<std::mutex> lock(queue->mutex);
    if (queue->posted.size() >= kQueueLimit) return false;
    queue->posted.push_back(msg);
    return true;
}

void DropWindowMessages(DWORD threadId, HWND window) {
    std::shared_ptr<Queue> queue = FindQueue(threadId);
    if (!queue) return;
    std::lock_guard<std::mutex> lock(queue->mutex);
    std::erase_if(queue->posted, [window](const MSG& m) { return m.hwnd == window; });
}

void RunSentMessages() {
    std::shared_ptr<Queue> queue = FindQueue(GetCurrentThreadId());
    if (!queue) return;
    for (;;) {
        std::shared_ptr<SentMessage> sent;
        {
            std::lock_guard<std::mutex> lock(queue->mutex);
            if (queue->sent.empty()) return;
            sent = queue->sent.front();
            queue->sent.pop_front();
        }
        WindowView view;
        LRESULT result = 0;
        if (ViewWindow(sent->window, &view) && view.procedure != nullptr) {
            result = view.procedure(sent->window, sent->message, sent->wParam, sent->lParam);
        }
        {
            std::lock_guard<std::mutex> lock(queue->mutex);
            sent->result = result;
            sent->done = true;
        }
        queue->sentDone.notify_all();
    }
}

void NoteKey(UINT vk, bool down) {
    if (vk >= 256) return;
    std::lock_guard<std::mutex> lock(g_keysMutex);
    if (down) {
        // Lock keys toggle bit 0 on each press.
        if ((g_keys[vk] & 0x80) == 0 && (vk == VK_CAPITAL || vk == VK_NUMLOCK || vk == VK_SCROLL)) {
            g_keys[vk] ^= 0x01;
        }
        g_keys[vk] |= 0x80;
    } else {
        g_keys[vk] &= 0x7F;
    }
    auto either = [](UINT a, UINT b) { return ((g_keys[a] | g_keys[b]) & 0x80); };
    g_keys[VK_SHIFT] = static_cast<BYTE>(either(VK_LSHIFT, VK_RSHIFT));
    g_keys[VK_CONTROL] = static_cast<BYTE>(either(VK_LCONTROL, VK_RCONTROL));
    g_keys[VK_MENU] = static_cast<BYTE>(either(VK_LMENU, VK_RMENU));
}

}  // namespace detail

BOOL PeekMessageA(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (msg == nullptr) return FALSE;
    DWORD self = GetCurrentThreadId();
    if (self == detail::VideoThreadId()) detail::PumpSdlEvents();
    detail::RunSentMessages();
    std::shared_ptr<Queue> queue = FindQueue(self);
    if (queue) {
        std::lock_guard<std::mutex> lock(queue->mutex);
        for (auto it = queue->posted.begin(); it != queue->posted.end(); ++it) {
            if (!Matches(*it, window, filterMin, filterMax)) continue;
            *msg = *it;
            if (removeFlags & PM_REMOVE) queue->posted.erase(it);
            return TRUE;
        }
    }
    // Painting comes last, once nothing else waits.
    if (window != ThreadMessagesOnly() &&
        ((filterMin == 0 && filterMax == 0) || (filterMin <= WM_PAINT && WM_PAINT <= filterMax))) {
        HWND paint = detail::WindowNeedingPaint(self, window);
        if (paint != nullptr) {
            std::memset(msg, 0, sizeof *msg);
            msg->hwnd = paint;
            msg->message = WM_PAINT;
            msg->time = timeGetTime();
            GetCursorPos(&msg->pt);
            return TRUE;
        }
    }
    return FALSE;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window == nullptr) {
        return detail::PostToThread(GetCurrentThreadId(), nullptr, message, wParam, lParam);
    }
    detail::WindowView view;
    if (!detail::ViewWindow(window, &view)) return FALSE;
    return detail::PostToThread(view.owner, window, message, wParam, lParam) ? TRUE : FALSE;
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    return detail::PostToThread(threadId, nullptr, message, wParam, lParam) ? TRUE : FALSE;
}

void PostQuitMessage(int exitCode) {
    detail::PostToThread(GetCurrentThreadId(), nullptr, WM_QUIT,
                         static_cast<WPARAM>(static_cast<intptr_t>(exitCode)), 0);
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == nullptr || msg->hwnd == nullptr) return 0;
    detail::WindowView view;
    if (!detail::ViewWindow(msg->hwnd, &view) || view.procedure == nullptr) return 0;
    const uint32_t imeView = detail::SelectImeView(msg->message, msg->wParam);
    LRESULT result = view.procedure(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    detail::RestoreImeView(imeView);
    // A procedure that did not paint would otherwise be asked again for ever.
    if (msg->message == WM_PAINT) detail::SetNeedsPaint(msg->hwnd, false);
    return result;
}

BOOL TranslateMessage(const MSG* msg) {
    if (msg == nullptr) return FALSE;
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return FALSE;
    WPARAM character = 0;
    switch (msg->wParam) {
        case VK_RETURN:
            character = '\r';
            break;
        case VK_BACK:
            character = '\b';
            break;
        case VK_TAB:
            character = '\t';
            break;
        case VK_ESCAPE:
            character = 0x1B;
            break;
        default:
            return FALSE;
    }
    UINT charMessage = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
    return PostMessageA(msg->hwnd, charMessage, character, msg->lParam);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    detail::WindowView view;
    if (!detail::ViewWindow(window, &view) || view.procedure == nullptr) return 0;
    if (view.owner == GetCurrentThreadId()) {
        return view.procedure(window, message, wParam, lParam);
    }
    std::shared_ptr<Queue> queue = FindQueue(view.owner);
    if (!queue) return 0;
    auto sent = std::make_shared<SentMessage>();
    sent->window = window;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    std::unique_lock<std::mutex> lock(queue->mutex);
    if (!FindQueue(view.owner)) return 0;  // the owner has ended
    queue->sent.push_back(sent);
    queue->sentDone.wait(lock, [&] { return sent->done; });
    return sent->result;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE) PostMessageA(window, WM_CLOSE, 0, 0);
            return 0;
        case WM_SYSKEYDOWN:
            if (wParam == VK_F4) PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_SETCURSOR: {
            if (LOWORD(static_cast<uintptr_t>(lParam)) != HTCLIENT) return FALSE;
            detail::WindowView view;
            if (detail::ViewWindow(window, &view)) SetCursor(view.classCursor);
            return TRUE;
        }
        case WM_IME_SETCONTEXT:
            detail::NoteImeSetContext(lParam);
            return 0;
        default:
            return 0;
    }
}

BOOL GetKeyboardState(BYTE* keys256) {
    if (keys256 == nullptr) return FALSE;
    std::lock_guard<std::mutex> lock(g_keysMutex);
    std::memcpy(keys256, g_keys, sizeof g_keys);
    return TRUE;
}

}  // namespace plat
