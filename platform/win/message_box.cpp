// Message boxes: our own on an X display (SDL's elsewhere), standard error and a scripted answer
// without a display.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/testing.h"
#include "platform/win/codepage.h"
#include "platform/win/internal.h"
#include "platform/win/message_box.h"
#include "platform/win/message_box_view.h"
#include "platform/win/window.h"
#include "platform/win/x11_window.h"

namespace plat {
namespace {

std::mutex g_mutex;
std::deque<int> g_script;
std::vector<testing::ShownMessageBox> g_shown;

// The answer a word of the environment names, fitted to the buttons offered.
int FitAnswer(int answer, UINT buttons) {
    switch (buttons) {
        case MB_OK:
            return IDOK;
        case MB_OKCANCEL:
            return answer == IDCANCEL || answer == IDNO ? IDCANCEL : IDOK;
        case MB_YESNO:
            return answer == IDNO || answer == IDCANCEL ? IDNO : IDYES;
        case MB_YESNOCANCEL:
            if (answer == IDOK) return IDYES;
            return answer;
        default:
            return answer;
    }
}

int EnvironmentAnswer() {
    const char* text = std::getenv("TESSRA_MSGBOX_ANSWER");
    if (text == nullptr || *text == '\0') return IDYES;
    std::string word = detail::LowerAscii(text);
    if (word == "no") return IDNO;
    if (word == "cancel") return IDCANCEL;
    if (word == "ok") return IDOK;
    if (word != "yes") {
        std::fprintf(stderr, "TESSRA_MSGBOX_ANSWER=%s is none of yes, no, cancel, ok; using yes\n",
                     text);
    }
    return IDYES;
}

int ShowSdlBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
    const detail::BoxButtonSet set = detail::ButtonsOf(type & 0xF);
    std::vector<SDL_MessageBoxButtonData> data;
    for (const detail::BoxButton& button : set.buttons) {
        Uint32 flags = data.empty() ? SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT : 0;
        if (button.id == set.escapeAnswer) flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        data.push_back(SDL_MessageBoxButtonData{flags, button.id, button.label});
    }
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    UINT icon = type & 0xF0;
    if (icon == MB_ICONERROR) flags = SDL_MESSAGEBOX_ERROR;
    if (icon == MB_ICONWARNING) flags = SDL_MESSAGEBOX_WARNING;
    SDL_MessageBoxData box;
    std::memset(&box, 0, sizeof box);
    box.flags = flags;
    box.window = GetSdlWindow(owner);
    box.title = caption.c_str();
    box.message = text.c_str();
    box.numbuttons = static_cast<int>(data.size());
    box.buttons = data.data();
    int chosen = -1;
    // -1: no box could be shown (an X server without what SDL's box needs, say).
    if (SDL_ShowMessageBox(&box, &chosen) != 0) return -1;
    if (chosen < 0) return set.escapeAnswer;  // closed without a choice
    return chosen;
}

}  // namespace

namespace detail {

// Closing the box without a choice answers as Escape does.
BoxButtonSet ButtonsOf(UINT buttons) {
    const int escape = FitAnswer(IDCANCEL, buttons);
    switch (buttons) {
        case MB_OKCANCEL:
            return {{{IDOK, "OK"}, {IDCANCEL, "Cancel"}}, escape};
        case MB_YESNO:
            return {{{IDYES, "Yes"}, {IDNO, "No"}}, escape};
        case MB_YESNOCANCEL:
            return {{{IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}}, escape};
        default:
            return {{{IDOK, "OK"}}, IDOK};
    }
}

}  // namespace detail

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
    std::string sjisText = text != nullptr ? text : "";
    std::string sjisCaption = caption != nullptr ? caption : "";
    UINT buttons = type & 0xF;
    int answer = 0;
    bool scripted = false;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!g_script.empty()) {
            answer = FitAnswer(g_script.front(), buttons);
            g_script.pop_front();
            scripted = true;
        }
    }
    // Boxes may come before any window: start SDL video to learn whether a display exists.
    if (!scripted) detail::EnsureVideo();
    std::string utf8Text = SjisToUtf8(sjisText);
    std::string utf8Caption = SjisToUtf8(sjisCaption);
    bool answeredAlone = scripted;
    if (!scripted) {
        if (HasDisplay()) {
            // Our own box where it can be shown (an X display and a face for the text), for
            // SDL's draws Japanese through the X core fonts, garbled where they lack it.
            answer = detail::ShowX11MessageBox(GetSdlWindow(owner), utf8Text, utf8Caption, type);
            if (answer < 0) answer = ShowSdlBox(owner, utf8Text, utf8Caption, type);
        }
        // Without a display, or when the box cannot be shown, the box answers as a headless
        // run does and says so; answering 0 would read as a refusal and, at the first-run
        // questions, end the program before its window ever opened.
        if (!HasDisplay() || answer < 0) {
            answer = FitAnswer(EnvironmentAnswer(), buttons);
            answeredAlone = true;
        }
    }
    if (answeredAlone) {
        const char* name = answer == IDYES      ? "yes"
                           : answer == IDNO     ? "no"
                           : answer == IDCANCEL ? "cancel"
                                                : "ok";
        std::fprintf(stderr, "[message box] %s: %s -> %s\n", utf8Caption.c_str(), utf8Text.c_str(),
                     name);
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    g_shown.push_back(testing::ShownMessageBox{owner, sjisText, sjisCaption, type, answer});
    return answer;
}

namespace testing {

void PushMessageBoxAnswer(int answer) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_script.push_back(answer);
}

std::vector<ShownMessageBox> ShownMessageBoxes() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_shown;
}

}  // namespace testing

namespace detail {

void ResetMessageBoxControls() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_script.clear();
    g_shown.clear();
}

}  // namespace detail
}  // namespace plat
