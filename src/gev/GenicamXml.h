// The GenICam description (GenApi schema 1.1) the device serves from its memory.
#pragma once

#include <string>

namespace tamra::gev {

std::string genicamXml();

}  // namespace tamra::gev
