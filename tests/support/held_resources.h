// What the program's handle owners hold right now, for leak checks.
#pragma once

#include <string>

namespace tavelin::test {

// "" when every owner type holds nothing, else the types that do and how many each holds,
// e.g. "hdc 1, gpbitmap 2".
std::string HeldResources();

}  // namespace tavelin::test
