// A whole script program: the main file, its Method blocks and the method files it calls
// (NAME.4dm beside the main file), with every call bound to what it names.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "syntax.h"

namespace nimbus_script {

class Program {
 public:
  // Reads the script at `path` and every method file it needs. Throws ScriptError for a
  // file that cannot be read, a syntax fault, or a call that cannot be right whatever the
  // values (unknown name, wrong parameter count, a written parameter that is no variable,
  // a call without result used as a value).
  static std::unique_ptr<Program> Load(const std::string& path);
  // The same for a script given as text; method files are looked for in `folder`.
  static std::unique_ptr<Program> FromSource(const std::string& source, const std::string& fileName,
                                             const std::string& folder);

  const Method& main() const { return *main_; }
  // A method by name (any case), or null.
  const Method* FindMethod(const std::string& name) const;
  // The folder of the main file, ending with a separator.
  const std::string& folder() const { return folder_; }

 private:
  Program() = default;
  void AddFile(const std::string& source, const std::string& fileName, const std::string& mainName,
               bool isMain);
  void AddMethod(std::unique_ptr<Method> method);
  // Loads NAME.4dm from the folder if there is one; answers the method or null.
  const Method* LoadMethodFile(const std::string& name, const SourcePosition& from);
  void Resolve(Method& method);
  void ResolveBlock(Block& block);
  void ResolveExpr(Expr& expr, bool valueNeeded);
  void ResolveCall(Expr& call, bool valueNeeded);

  std::string folder_;
  Method* main_ = nullptr;
  std::vector<std::unique_ptr<Method>> methods_;  // the main method first
  std::map<std::string, Method*> byName_;         // by NameKey
};

}  // namespace nimbus_script
