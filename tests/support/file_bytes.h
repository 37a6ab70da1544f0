#pragma once

#include <string>

namespace testsupport {

// A whole file as bytes ("" when it cannot be read), and a file made to hold exactly bytes.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

}  // namespace testsupport
