// Where a piece of script text lies, and the error a script reports there.
#pragma once

#include <exception>
#include <memory>
#include <string>

namespace nimbus_script {

// A position in a script file; line and column count from 1 (the column in bytes).
struct SourcePosition {
  std::shared_ptr<const std::string> file;
  int line = 0;
  int column = 0;

  std::string FileName() const { return file ? *file : std::string("<script>"); }
};

// A fault in a script, found while reading it or while running it. The interpreter throws it
// and the runner reports it as "FILE:LINE:COLUMN: error: MESSAGE".
class ScriptError : public std::exception {
 public:
  ScriptError(SourcePosition where, std::string message);

  const SourcePosition& where() const { return where_; }
  const std::string& message() const { return message_; }
  // "FILE:LINE:COLUMN: error: MESSAGE"
  const std::string& formatted() const { return formatted_; }
  const char* what() const noexcept override { return formatted_.c_str(); }

 private:
  SourcePosition where_;
  std::string message_;
  std::string formatted_;
};

}  // namespace nimbus_script
