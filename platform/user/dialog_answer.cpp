// dialog_answer.cpp: what a modal dialog writes to the journal ("dialog.shown",
// "dialog.answer") and how it acts on an answer of the device's automation queue
// (automation.h), so that scripted scenarios run dialogs unattended.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "kernel/journal.h"
#include "kernel/strings.h"
#include "kernel/trace.h"
#include "user/automation.h"
#include "user/dialog.h"
#include "windows.h"

namespace ce::user {
namespace {

thread_local bool applyingAnswer = false;

std::string windowText(HWND hwnd) {
    int n = GetWindowTextLengthW(hwnd);
    std::u16string text(static_cast<size_t>(std::clamp(n, 0, 4096)) + 1, u'\0');
    int got = GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(std::max(got, 0)));
    return ce::toUtf8(text);
}

std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// "100 EDIT \"Wake\", 1 BUTTON \"Done\"": the controls of the dialog in tab order.
std::string describeItems(HWND dlg) {
    std::string out;
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        WCHAR cls[64] = {};
        GetClassNameW(c, cls, 64);
        if (!out.empty()) out += ", ";
        out +=
            std::to_string(GetDlgCtrlID(c)) + " " + ce::toUtf8(cls) + " " + quoted(windowText(c));
    }
    return out;
}

void foldAscii(std::string& s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

// An identifier of the answer grammar: a decimal or 0x number, or a standard name.
bool parseAnswerId(std::string s, int* id) {
    foldAscii(s);
    static const std::pair<const char*, int> names[] = {
        {"idok", IDOK},       {"ok", IDOK},         {"idcancel", IDCANCEL}, {"cancel", IDCANCEL},
        {"idyes", IDYES},     {"yes", IDYES},       {"idno", IDNO},         {"no", IDNO},
        {"idabort", IDABORT}, {"idretry", IDRETRY}, {"idignore", IDIGNORE}};
    for (auto& [name, value] : names)
        if (s == name) {
            *id = value;
            return true;
        }
    bool negative = !s.empty() && s[0] == '-';
    std::string digits = negative ? s.substr(1) : s;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && digits[1] == 'x') {
        digits = digits.substr(2);
        base = 16;
    }
    if (digits.empty() || digits.size() > 8) return false;
    int64_t v = 0;
    for (char c : digits) {
        int d = (c >= '0' && c <= '9')                 ? c - '0'
                : (base == 16 && c >= 'a' && c <= 'f') ? c - 'a' + 10
                                                       : -1;
        if (d < 0 || d >= base) return false;
        v = v * base + d;
    }
    if (v > 0xFFFF) return false;
    *id = static_cast<int>(negative ? -v : v);
    return true;
}

struct AnswerToken {
    std::string id;
    bool hasText = false;
    std::string text;
};

// Splits a "dialog" answer into its tokens: ID or ID=TEXT, separated by spaces; TEXT may be
// quoted ("two words"), with \" and \\ inside the quotes.
std::vector<AnswerToken> tokenize(const std::string& s) {
    std::vector<AnswerToken> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && s[i] == ' ')
            ++i;
        if (i >= s.size()) break;
        AnswerToken t;
        while (i < s.size() && s[i] != ' ' && s[i] != '=')
            t.id += s[i++];
        if (i < s.size() && s[i] == '=') {
            ++i;
            t.hasText = true;
            if (i < s.size() && s[i] == '"') {
                ++i;
                while (i < s.size() && s[i] != '"') {
                    if (s[i] == '\\' && i + 1 < s.size()) ++i;
                    t.text += s[i++];
                }
                if (i < s.size()) ++i; // the closing quote
            } else {
                while (i < s.size() && s[i] != ' ')
                    t.text += s[i++];
            }
        }
        out.push_back(std::move(t));
    }
    return out;
}

bool isCheckable(HWND ctl) {
    WCHAR cls[16] = {};
    if (!GetClassNameW(ctl, cls, 16) || !ce::equalNoCase(cls, u"BUTTON")) return false;
    LONG type = GetWindowLongW(ctl, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
           type == BS_AUTO3STATE || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

// Presses a control as the user would: an enabled button is clicked (so that an auto check
// box toggles), any other identifier reaches the dialog as WM_COMMAND BN_CLICKED.
void pressItem(HWND dlg, int id) {
    HWND ctl = GetDlgItem(dlg, id);
    WCHAR cls[16] = {};
    if (ctl && IsWindowEnabled(ctl) && GetClassNameW(ctl, cls, 16) &&
        ce::equalNoCase(cls, u"BUTTON")) {
        SendMessageW(ctl, BM_CLICK, 0, 0);
        return;
    }
    SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                 reinterpret_cast<LPARAM>(ctl));
}

// Acts on the first answer of the automation queue, if there is one:
//   ok | cancel | yes | no     WM_COMMAND IDOK / IDCANCEL / IDYES / IDNO
//   dialog TOKEN...            each token in turn: ID=TEXT sets that control's text (for a
//                              check box or radio button TEXT is its check state 0, 1 or 2);
//                              ID alone presses it. ID is a number (decimal or 0x hex) or
//                              IDOK, IDCANCEL, IDYES, IDNO, IDABORT, IDRETRY, IDIGNORE.
//                              Example: dialog 100=Wake 101="Every day" 105=1 IDOK
// A "menu" answer does not fit a dialog: it is taken and journaled like any other, does
// nothing, and the dialog waits for the user (the queue's answers go to the elements in
// the order they open, so a script that queued it was out of step).
void applyAnswer(HWND dlg) {
    auto answer = ce::automation::takeAnswer();
    if (!answer) return;
    std::string kind = answer->kind;
    foldAscii(kind);
    ce::JournalLine("dialog.answer")
        .str("caption", windowText(dlg))
        .str("kind", kind)
        .str("argument", answer->argument)
        .write();
    applyingAnswer = true;
    int id = 0;
    if (kind == "dialog") {
        for (const AnswerToken& t : tokenize(answer->argument)) {
            if (!IsWindow(dlg)) break;
            if (!parseAnswerId(t.id, &id)) {
                CE_TRACE("msg", "dialog answer: no such identifier '%s'", t.id.c_str());
                continue;
            }
            if (!t.hasText) {
                pressItem(dlg, id);
                continue;
            }
            HWND ctl = GetDlgItem(dlg, id);
            if (ctl && isCheckable(ctl))
                SendMessageW(ctl, BM_SETCHECK, static_cast<WPARAM>(std::atoi(t.text.c_str())), 0);
            else if (ctl)
                SetWindowTextW(ctl, ce::fromUtf8(t.text).c_str());
        }
    } else if (parseAnswerId(kind, &id) &&
               (id == IDOK || id == IDCANCEL || id == IDYES || id == IDNO)) {
        SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
    } else {
        CE_TRACE("msg", "dialog answer of kind '%s' ignored", kind.c_str());
    }
    applyingAnswer = false;
}

} // namespace

std::string dialogTextUtf8(HWND hwnd) {
    return windowText(hwnd);
}

void journalDialogShown(HWND dlg) {
    ce::JournalLine("dialog.shown")
        .str("caption", windowText(dlg))
        .str("items", describeItems(dlg))
        .write();
}

void applyDialogAnswer(HWND dlg) {
    applyAnswer(dlg);
}

bool applyingAutomationAnswer() {
    return applyingAnswer;
}

} // namespace ce::user
