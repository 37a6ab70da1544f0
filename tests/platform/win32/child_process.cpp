#include "platform/win32/child_process.h"

#include <thread>
#include <vector>

#include "platform/win32/windows_api.h"

namespace testing_win32 {
namespace {

// Reads the pipe to its end.
std::string drain(HANDLE pipe) {
  std::string text;
  char buffer[4096];
  DWORD count = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &count, nullptr) && count > 0)
    text.append(buffer, count);
  return text;
}

struct Pipe {
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  bool open() {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreatePipe(&read, &write, &inherit, 0) != 0;
  }
  void close() {
    if (read) CloseHandle(read);
    if (write) CloseHandle(write);
    read = write = nullptr;
  }
};

}  // namespace

ChildResult runChild(const std::string& commandLine, const char* name, const char* value,
                     unsigned long timeoutMs) {
  ChildResult result;
  Pipe input, output, errors;
  if (!input.open() || !output.open() || !errors.open()) {
    input.close();
    output.close();
    errors.close();
    return result;
  }
  // The parent's ends stay out of the child, or the pipes never report their end.
  SetHandleInformation(input.write, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(output.read, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(errors.read, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.read;
  startup.hStdOutput = output.write;
  startup.hStdError = errors.write;
  PROCESS_INFORMATION process{};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');

  if (name) SetEnvironmentVariableA(name, value);
  result.started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                  &startup, &process) != 0;
  if (name) SetEnvironmentVariableA(name, nullptr);

  CloseHandle(input.read);
  CloseHandle(output.write);
  CloseHandle(errors.write);
  CloseHandle(input.write);  // standard input: empty, at its end at once
  if (result.started) {
    std::thread outputReader([&] { result.output = drain(output.read); });
    std::thread errorReader([&] { result.errors = drain(errors.read); });
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
      result.finished = true;
      GetExitCodeProcess(process.hProcess, &result.exitCode);
    } else {
      TerminateProcess(process.hProcess, 255);  // its ends of the pipes close with it
    }
    outputReader.join();
    errorReader.join();
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(output.read);
  CloseHandle(errors.read);
  return result;
}

std::string thisProgram() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length);
}

std::string programBesideThis(const char* fileName) {
  std::string path = thisProgram();
  size_t slash = path.find_last_of("\\/");
  return path.substr(0, slash + 1) + fileName;
}

}  // namespace testing_win32
