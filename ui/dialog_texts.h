// The texts the dialogs show, with their defaults. The driver fills them from the script's
// prompt settings before the dialogs run.
#pragma once

#include <string>

namespace qm {

struct DialogTexts {
  std::string ok = "OK";
  std::string cancel = "Cancel";
  std::string quit = "Do you wish to quit?";
  std::string badDrive = "Invalid drive specification.";
  std::string badDir = "Invalid directory.";
  std::string noGroup = "No group is selected.";
  std::string insertDisk = "Please insert ";
  std::string fileNotFound = "File not found on the installation disk: ";
  std::string diskName = "the next disk";
  std::string copyFile = "Installing file: ";
  std::string fontName = "MS Sans Serif";  // FONTNAME; empty = the system's default face
  std::string destinationPrompt[4] = {
      "", "Please enter the destination directory:", "Please enter the destination drive:",
      "Please enter the destination drive and directory:"};
};

}  // namespace qm
