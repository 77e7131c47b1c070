// The line editor on libedit: emacs keys, this session's lines plus the last
// ones of earlier sessions, Tab completion. Each line is appended to the
// history file as it is entered, so a host that dies keeps what came before.
#include <fcntl.h>
#include <histedit.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "LineEditor.h"

namespace velkora_host {

namespace {

// The file keeps its last kHistoryKeep lines; it is cut back to them only
// once appending (from this session or others) has taken it past kHistoryMax.
const std::size_t kHistoryKeep = 2000;
const std::size_t kHistoryMax = 2500;

EditLine* gEditor = nullptr;
History* gHistory = nullptr;
std::vector<std::string> gCompletions;
std::string gHistoryFile;    // empty: this session's lines only
std::size_t gFileLines = 0;  // as far as this session knows
std::string gLastLine;       // a repeated line is kept once
const char* gPrompt = "";

const char* Prompt(EditLine*) { return gPrompt; }

// One warning, then the session goes on without the file.
void DropHistoryFile(const char* what) {
    std::fprintf(stderr, "velkora-host: cannot %s %s: %s; history is kept for this session only\n", what,
                 gHistoryFile.c_str(), std::strerror(errno));
    gHistoryFile.clear();
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// One write per line with O_APPEND: sessions running side by side never
// interleave within a line.
bool Append(const std::string& line) {
    int fd = open(gHistoryFile.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, line + "\n");
    return close(fd) == 0 && ok;
}

// Replaces the file by its last kHistoryKeep lines through a temporary file,
// so that it is never left half written.
bool Trim(std::vector<std::string>* lines) {
    if (lines->size() > kHistoryKeep) lines->erase(lines->begin(), lines->end() - kHistoryKeep);
    std::string text;
    for (const std::string& line : *lines) text += line + "\n";
    std::string name = gHistoryFile + ".XXXXXX";
    int fd = mkstemp(&name[0]);  // created 0600
    if (fd < 0) return false;
    bool ok = WriteAll(fd, text);
    ok = close(fd) == 0 && ok;
    if (ok && rename(name.c_str(), gHistoryFile.c_str()) == 0) return true;
    int saved = errno;
    unlink(name.c_str());
    errno = saved;
    return false;
}

void LoadHistory() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return;
    gHistoryFile = std::string(home) + "/.velkora_history";
    // Trimming replaces the file: write through a symbolic link, not over it.
    if (char* real = realpath(gHistoryFile.c_str(), nullptr)) {
        gHistoryFile = real;
        std::free(real);
    }
    std::vector<std::string> lines = ReadLines(gHistoryFile);
    if (lines.size() > kHistoryMax && !Trim(&lines)) DropHistoryFile("shorten");
    gFileLines = lines.size();
    HistEvent ev;
    for (const std::string& line : lines) history(gHistory, &ev, H_ENTER, line.c_str());
    if (!lines.empty()) gLastLine = lines.back();
}

void Record(const std::string& line) {
    if (line.find_first_not_of(" \t") == std::string::npos || line == gLastLine) return;
    gLastLine = line;
    HistEvent ev;
    history(gHistory, &ev, H_ENTER, line.c_str());
    if (gHistoryFile.empty()) return;
    if (!Append(line)) return DropHistoryFile("write to");
    if (++gFileLines <= kHistoryMax) return;
    std::vector<std::string> lines = ReadLines(gHistoryFile);
    if (!Trim(&lines)) return DropHistoryFile("shorten");
    gFileLines = lines.size();
}

bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Names ignore case in calculations, so completion does too.
std::size_t CommonLength(const std::string& a, const std::string& b) {
    std::size_t n = 0;
    while (n < a.size() && n < b.size() && Lower(a[n]) == Lower(b[n])) ++n;
    return n;
}

void ShowMatches(const std::vector<const std::string*>& matches) {
    std::size_t width = 0;
    for (const std::string* m : matches) width = std::max(width, m->size() + 2);
    int columns = 80;
    el_get(gEditor, EL_GETTC, "co", &columns, nullptr);
    std::size_t perRow = std::max<std::size_t>(1, static_cast<std::size_t>(std::max(columns, 1)) / width);
    std::size_t rows = (matches.size() + perRow - 1) / perRow;
    std::string out = "\n";
    for (std::size_t r = 0; r < rows; ++r) {
        std::string row;
        for (std::size_t i = r; i < matches.size(); i += rows) {
            row += *matches[i];
            row.resize(((i - r) / rows + 1) * width, ' ');
        }
        out += row.substr(0, row.find_last_not_of(' ') + 1) + "\n";
    }
    std::fputs(out.c_str(), stdout);
    std::fflush(stdout);
}

// Tab: the name before the cursor, or a command at the start of the line, is
// completed as far as its matches agree; when they agree no further, they are
// listed. A single match gets a space after it.
unsigned char Complete(EditLine* editor, int) {
    const LineInfo* info = el_line(editor);
    std::string before(info->buffer, info->cursor);
    std::size_t start = before.size();
    while (start > 0 && IsNameChar(before[start - 1])) --start;
    std::size_t first = before.find_first_not_of(" \t");
    if (start > 0 && before[start - 1] == ':' && first == start - 1) --start;
    bool lineStart = first == std::string::npos || first >= start;
    std::string word = before.substr(start);

    std::vector<const std::string*> matches;
    for (const std::string& c : gCompletions) {
        if (c[0] == ':' && !lineStart) continue;
        if (CommonLength(word, c) == word.size()) matches.push_back(&c);
    }
    if (matches.empty()) return CC_ERROR;
    std::size_t common = matches[0]->size();
    for (const std::string* m : matches) common = std::min(common, CommonLength(*matches[0], *m));
    if (matches.size() > 1 && common <= word.size()) {
        ShowMatches(matches);
        return CC_REDISPLAY;
    }
    std::string insert = matches[0]->substr(0, common) + (matches.size() == 1 ? " " : "");
    el_deletestr(editor, static_cast<int>(word.size()));
    if (el_insertstr(editor, insert.c_str()) != 0) return CC_ERROR;
    return CC_REFRESH;
}

}  // namespace

bool LineEditingBuiltIn() { return true; }

bool LineEditorStart(const std::vector<std::string>& completions) {
    const char* term = std::getenv("TERM");
    if (term && std::strcmp(term, "dumb") == 0) return false;
    // libedit edits characters, not bytes: the terminal's encoding (UTF-8
    // for a pilcrow) comes from the environment.
    std::setlocale(LC_CTYPE, "");
    gEditor = el_init("velkora-host", stdin, stdout, stderr);
    gHistory = history_init();
    if (!gEditor || !gHistory) {
        LineEditorStop();
        return false;
    }
    HistEvent ev;
    history(gHistory, &ev, H_SETSIZE, static_cast<int>(kHistoryKeep));
    el_set(gEditor, EL_EDITOR, "emacs");
    el_set(gEditor, EL_SIGNAL, 1);  // the terminal is restored whatever signal ends the host
    el_set(gEditor, EL_PROMPT, Prompt);
    el_set(gEditor, EL_HIST, history, gHistory);
    // The wide form keeps our literals; the narrow one copies them and never frees the copies.
    el_wset(gEditor, EL_ADDFN, L"velkora-complete", L"complete a function name or a command", Complete);
    el_set(gEditor, EL_BIND, "^I", "velkora-complete", nullptr);
    // As in other prompts: Ctrl-W deletes a word, Ctrl-R searches back.
    el_set(gEditor, EL_BIND, "^W", "ed-delete-prev-word", nullptr);
    el_set(gEditor, EL_BIND, "^R", "em-inc-search-prev", nullptr);
    for (const char* home : {"\\e[H", "\\eOH", "\\e[1~", "\\e[7~"}) {
        el_set(gEditor, EL_BIND, home, "ed-move-to-beg", nullptr);
    }
    for (const char* end : {"\\e[F", "\\eOF", "\\e[4~", "\\e[8~"}) {
        el_set(gEditor, EL_BIND, end, "ed-move-to-end", nullptr);
    }
    el_set(gEditor, EL_BIND, "\\e[3~", "ed-delete-next-char", nullptr);
    el_source(gEditor, nullptr);  // ~/.editrc may change any of it
    gCompletions = completions;
    LoadHistory();
    return true;
}

bool LineEditorRead(const char* prompt, std::string* line) {
    gPrompt = prompt;
    int count = 0;
    const char* got = el_gets(gEditor, &count);
    if (!got || count <= 0) return false;
    line->assign(got, static_cast<std::size_t>(count));
    if (!line->empty() && line->back() == '\n') line->pop_back();
    Record(*line);
    return true;
}

void LineEditorStop() {
    if (gEditor) el_end(gEditor);
    if (gHistory) history_end(gHistory);
    gEditor = nullptr;
    gHistory = nullptr;
}

}  // namespace velkora_host
