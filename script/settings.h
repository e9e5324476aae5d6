// Settings and prompt texts: every user-visible text a script keyword can replace, with its
// default; title, colours and fonts; the destination records of DEFAULTDIR, DIR2 and DIR3.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "script/statement_line.h"

namespace qm {

constexpr size_t kMaxFontNameChars = 30;   // FONTNAME, POPMESSAGE faces, TITLE font words
constexpr size_t kMaxTitleFaceChars = 31;  // the title font face
constexpr size_t kMaxTitleChars = 508;     // the window title
constexpr int kMaxTitleFontWords = 5;

struct Prompts {
  // Set by their keywords (maximum length in brackets).
  std::string copyFile = "Installing file: ";                                                // 499
  std::string autoexec = "Do you wish this program to modify your AUTOEXEC.BAT?";            // 999
  std::string badDir = "Invalid directory.";                                                 // 499
  std::string ok = "OK";                                                                     // 499
  std::string cancel = "Cancel";                                                             // 499
  std::string badDrive = "Invalid drive specification.";                                     // 499
  std::string config = "Do you wish this program to modify file CONFIG.SYS?";                // 999
  std::string cpu = "This application requires a computer with a processor no less than: ";  // 999
  std::string fileExist = "File exists.  Overwrite ";                                        // 499
  std::string iniFile = "Do you wish this program to modify file ";                          // 999
  std::string insertDisk = "Please insert ";                                                 // 499
  std::string locate = "Checking system, please wait...";                                    // 499
  std::string noGroup = "No group is selected.";                                             // 499
  std::string noSpace = "Not enough disk space on the destination drive for installation.";  // 999
  std::string quit = "Do you wish to quit?";                                                 // 499
  std::string reboot = "Do you wish to reboot?";                                             // 499
  std::string fileNotFound = "File not found on the installation disk: ";                    // 499

  // Never set by the script.
  // Indexed by the destination mode: 0 ask nothing, 1 directory, 2 drive, 3 drive and directory.
  std::string destination[4] = {
      "", "Please enter the destination directory:", "Please enter the destination drive:",
      "Please enter the destination drive and directory:"};
  std::string diskName = "the next disk";
  std::string syntaxError = "Syntax error, line: ";
  std::string missingEndFirstScreen = "Missing EndFirstScreen ";
  std::string diskReadError = "Reading disk error.";
  std::string diskWriteError = "Writing disk error.";
  std::string decompressionMemory = "Not enough memory unshrinking files";
  std::string fileReadError = "Reading file error: ";
  std::string fileCreateError = "Cannot create file ";
  std::string badCompressedFile = "Invalid compressed file ";
  std::string serverNotRegistered = " has not been successfully registered.";
};

// One prompt keyword: the text it replaces and the longest text it accepts.
struct PromptKeyword {
  const char* keyword;
  std::string Prompts::*text;
  size_t maxChars;
};
// The 17 prompt keywords in the order the parser tries them; null when keyword is none of them.
const PromptKeyword* findPromptKeyword(std::string_view keyword);
std::span<const PromptKeyword> promptKeywords();

// Destination record of DEFAULTDIR, DIR2 or DIR3: the data of its destination dialog.
struct DestinationRecord {
  std::string prompt;        // the text of prompt=; emptied when the statement is repeated
  bool promptGiven = false;  // once set, stays set
  int mode = 3;              // 0 ask nothing, 1 directory only, 2 drive only, 3 drive and directory
  std::string path;          // at most kMaxPathChars
};
enum DestinationIndex { kDefaultDirIndex = 0, kDir2Index = 1, kDir3Index = 2 };

struct TitleFont {
  std::string face = "Arial";  // at most kMaxTitleFaceChars
  int size = 0;                // 0: drawn 40 units high and bold
  bool italic = false, bold = false, underline = false;
};

// Where SCREENGRAPHIC puts its bitmap.
enum GraphicPlacement {
  kPlacementNone = 0,
  kPlacementTopLeft = 1,
  kPlacementTopMiddle = 2,
  kPlacementTopRight = 3,
  kPlacementMiddleRight = 4,
  kPlacementBottomRight = 5,
  kPlacementBottomMiddle = 6,
  kPlacementBottomLeft = 7,
  kPlacementMiddleLeft = 8,
  kPlacementTile = 9,
  kPlacementFullScreen = 10
};

struct Settings {
  Prompts prompts;
  std::string screenFont = "MS Sans Serif";  // FONTNAME; empty: the system's face
  std::string title;                         // at most kMaxTitleChars
  TitleFont titleFont;
  Colour titleColour{128, 128, 255};
  Colour screenColour1{0, 0, 255};
  Colour screenColour2{0, 0, 0};
  // SCREENGRAPHIC: the bitmap file (empty: none) and its placement.
  std::string screenGraphicPath;
  int screenGraphicPlacement = kPlacementNone;
  // INTROSCREEN: the last one given (empty path: none); seconds 0 = until the user acts.
  std::string introScreenPath;
  int introScreenSeconds = 0;
  // RUNATSTART: the start-up command, its macros expanded at the end of the first pass.
  bool runAtStartPending = false;
  std::string runAtStart;
  std::optional<DestinationRecord> destinations[3];  // by DestinationIndex
};

// The keywords whose lines are accepted and ignored whole.
bool isIgnoredKeyword(std::string_view keyword);

// Statement handlers: ctx.line stands after the keyword; 0, or 1 for a syntax error.
struct StatementContext;
int readFontNameStatement(StatementContext& ctx);                             // FONTNAME
int readPromptStatement(StatementContext& ctx, const PromptKeyword& prompt);  // ...PROMPT
int readTitleStatement(StatementContext& ctx);                                // TITLE
int readTitleColourStatement(StatementContext& ctx);                          // TITLECOLOR
int readScreenColourStatement(StatementContext& ctx);                         // SCREENCOLOR
int readScreenGraphicStatement(StatementContext& ctx);                        // SCREENGRAPHIC
int readDestinationStatement(StatementContext& ctx, DestinationIndex which);  // DEFAULTDIR ...

}  // namespace qm
