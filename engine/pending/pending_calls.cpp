#include "engine/pending/pending_calls.h"

#include <atomic>
#include <map>
#include <mutex>

namespace tessra {
namespace {

std::mutex& Mutex() {
    static std::mutex m;
    return m;
}
std::vector<std::string>& Calls() {
    static std::vector<std::string> calls;
    return calls;
}
std::map<std::string, long long>& Results() {
    static std::map<std::string, long long> results;
    return results;
}

std::atomic<PendingCallObserver> g_observer{nullptr};

// The game runs for hours; keep the record bounded when nobody takes it.
constexpr size_t kMaxCalls = 100000;

}  // namespace

void RecordPendingCall(const char* name) {
    {
        std::lock_guard<std::mutex> g(Mutex());
        auto& calls = Calls();
        if (calls.size() >= kMaxCalls) calls.erase(calls.begin(), calls.begin() + kMaxCalls / 2);
        calls.emplace_back(name);
    }
    if (PendingCallObserver observer = g_observer.load()) observer(name);
}

void SetPendingCallObserver(PendingCallObserver observer) {
    g_observer.store(observer);
}

std::vector<std::string> PeekPendingCalls() {
    std::lock_guard<std::mutex> g(Mutex());
    return Calls();
}

std::vector<std::string> TakePendingCalls() {
    std::lock_guard<std::mutex> g(Mutex());
    std::vector<std::string> out;
    out.swap(Calls());
    return out;
}

int CountPendingCalls(const char* name) {
    std::lock_guard<std::mutex> g(Mutex());
    int n = 0;
    for (const auto& c : Calls())
        if (c == name) ++n;
    return n;
}

void SetPendingResult(const char* name, long long result) {
    std::lock_guard<std::mutex> g(Mutex());
    Results()[name] = result;
}

void ClearPendingResults() {
    std::lock_guard<std::mutex> g(Mutex());
    Results().clear();
}

long long PendingCall(const char* name, long long fallback) {
    RecordPendingCall(name);
    std::lock_guard<std::mutex> g(Mutex());
    auto it = Results().find(name);
    return it == Results().end() ? fallback : it->second;
}

}  // namespace tessra
