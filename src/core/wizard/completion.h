// What the completion page says and offers: its text for the run mode, the
// documents named by ReadPDFs, and whether the IDE needs a Java runtime first.
#pragma once
#include <string>
#include <vector>

#include "core/install/registry.h"
#include "core/support/messages.h"
#include "core/support/os.h"
#include "core/support/variables.h"

namespace inst {

inline constexpr const char* kJavaRuntimeKey = "SOFTWARE\\JavaSoft\\Java Runtime Environment";

// The page's text for an installation, a removal or a repair, expanded.
std::string CompletionText(const InstallerVariables& vars);
// The same, and when files in use wait for the restart, that the restart finishes the work.
std::string CompletionText(const InstallerVariables& vars, bool restart_needed);

struct CompletionDocument {
  std::string title;  // after the first "|" of the named variable's value
  std::string path;   // InstDir, a backslash, and the text before it
};

// The documents that ReadPDFs names, in the order the end of the run opens them:
// the reverse of ReadPDFs, which the page shows top to bottom. A name that is not
// set, or whose value holds no "|", ends the run.
std::vector<CompletionDocument> ReadDocumentList(const InstallerVariables& vars, Messages& messages);

// True when JAVA names a runtime installer and no installed runtime matches a line
// of the JCOMPAT list (a line matches the start of a version's key name, and the
// version's JavaHome must be readable).
bool JavaNeeded(const InstallerVariables& vars, Registry& registry, FileSystem& files);

}  // namespace inst
