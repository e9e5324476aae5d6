// The installer's own window messages to the main window, numbered from the first user message.
#pragma once

namespace qm {

constexpr unsigned kFirstUserMessage = 1024;
// First parameter 1 after a completed file, 0 for a partial step.
constexpr unsigned kMsgProgress = kFirstUserMessage;
// Runs the installation; both parameters 0.
constexpr unsigned kMsgStart = kFirstUserMessage + 1;
// First parameter: move on to the next disk entry first. Second: the missing file's name (a
// const std::string*), or 0. Answers 0 to go on, above 0 to stop.
constexpr unsigned kMsgInsertDisk = kFirstUserMessage + 2;
// Second parameter: the name of the file being copied (a const char*).
constexpr unsigned kMsgCopyFile = kFirstUserMessage + 3;
// Draws the checking-system box while drives are searched.
constexpr unsigned kMsgCheckingSystem = kFirstUserMessage + 5;

}  // namespace qm
