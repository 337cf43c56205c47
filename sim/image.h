// The memory image file: presets for a demo or a test, and a saved state.
//
//   # comment
//   node NET.NODE                 following lines go to that node (default: the first)
//   AREA ADDRESS VALUE [VALUE...]  AREA: hex area code (0x82) or a name of the
//                                  node's series (DM, CIO, EM0, ...); ADDRESS
//                                  decimal; VALUE decimal or 0x hex, 16 bits
#pragma once

#include <string>

#include "sim/memory.h"

namespace finsim {

// Replaces the memory of every node with the image. On an error (which names
// the file and line) nothing is changed. Takes the node set's lock.
bool LoadImageFile(NodeSet &nodes, const std::string &path, std::string *error);
bool LoadImageText(NodeSet &nodes, const std::string &text, const std::string &name, std::string *error);

// Writes every node's non-zero words in the same format.
bool SaveImageFile(NodeSet &nodes, const std::string &path, std::string *error);
std::string ImageText(NodeSet &nodes);

} // namespace finsim
