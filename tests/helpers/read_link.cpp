// Test helper: reads a shell link back through IShellLinkA and writes what it holds
// as one JSON object.
//
//   read_link.exe LINK OUTPUT
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

namespace {

std::string Json(const char* text) {
  std::string out = "\"";
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
    if (*c == '"' || *c == '\\') out += '\\';
    if (*c < 0x20 || *c >= 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", *c);
      out += escaped;
    } else {
      out += static_cast<char>(*c);
    }
  }
  return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  if (FAILED(CoInitialize(nullptr))) return 3;
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  int status = 4;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, wide, MAX_PATH);
    if (SUCCEEDED(file->Load(wide, STGM_READ))) {
      char path[MAX_PATH] = {}, arguments[1024] = {}, folder[MAX_PATH] = {}, icon[MAX_PATH] = {},
           description[1024] = {};
      int icon_index = 0;
      link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH);
      link->GetArguments(arguments, sizeof arguments);
      link->GetWorkingDirectory(folder, MAX_PATH);
      link->GetIconLocation(icon, MAX_PATH, &icon_index);
      link->GetDescription(description, sizeof description);
      if (FILE* out = std::fopen(argv[2], "w")) {
        std::fprintf(out,
                     "{\"target\":%s,\"arguments\":%s,\"working_folder\":%s,\"icon\":%s,\"icon_index\":%d,"
                     "\"description\":%s}\n",
                     Json(path).c_str(), Json(arguments).c_str(), Json(folder).c_str(), Json(icon).c_str(), icon_index,
                     Json(description).c_str());
        std::fclose(out);
        status = 0;
      }
    }
  }
  if (file) file->Release();
  if (link) link->Release();
  CoUninitialize();
  return status;
}
