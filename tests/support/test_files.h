// Real files for tests: fresh folders, whole-file reads and writes, log lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testfiles {

// A new empty folder under the temporary folder, unique per call.
std::wstring NewFolder(const wchar_t* purpose);
bool WriteFile(const std::wstring& path, const std::string& bytes);
std::string ReadFile(const std::wstring& path);   // empty when missing
bool Exists(const std::wstring& path);
void Remove(const std::wstring& path);
// Lines of a CR LF file; a last line without CR LF is returned with a "<no CRLF>" suffix.
std::vector<std::string> ReadLines(const std::wstring& path);
std::string Narrow(const std::wstring& text);

}  // namespace testfiles
