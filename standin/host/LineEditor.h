// The interactive prompt's line editor: editing keys, a history kept across
// sessions in ~/.velkora_history, Tab completion of the words the host names.
// The build picks one implementation: LineEditorLibedit.cpp where libedit was
// found, LineEditorPlain.cpp elsewhere (no editor; the prompt reads plain
// lines). Main thread only; LineEditorRead blocks until a line is ended.
#ifndef VELKORA_HOST_LINEEDITOR_H
#define VELKORA_HOST_LINEEDITOR_H

#include <string>
#include <vector>

namespace velkora_host {

// Whether this build has a line editor at all.
bool LineEditingBuiltIn();

// Takes over standard input and output, which must both be terminals, and
// loads the history. False when there is no editor for this terminal; the
// caller reads plain lines then.
bool LineEditorStart(const std::vector<std::string>& completions);

// Shows `prompt` and reads one line, without its line end; false at the end
// of input. Non-blank lines go to the history.
bool LineEditorRead(const char* prompt, std::string* line);

void LineEditorStop();

}  // namespace velkora_host

#endif
