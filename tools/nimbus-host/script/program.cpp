// Loading a program and binding its calls.
#include "program.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "parser.h"

namespace nimbus_script {
namespace {

bool ReadFile(const std::string& path, std::string* contents) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  *contents = buffer.str();
  return !in.bad();
}

std::string FolderOf(const std::string& path) {
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::string text = folder.empty() ? std::string(".") : folder.string();
  return text + "/";
}

std::string Plural(size_t n, const char* word) {
  return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

// "1 parameter", "2 to 3 parameters", "at least 2 parameters".
std::string CountText(int least, int most) {
  if (least == most) return Plural(least, "parameter");
  if (most >= (1 << 16)) return "at least " + Plural(least, "parameter");
  return std::to_string(least) + " to " + Plural(most, "parameter");
}

}  // namespace

std::unique_ptr<Program> Program::Load(const std::string& path) {
  std::string source;
  if (!ReadFile(path, &source)) {
    throw ScriptError({std::make_shared<const std::string>(path), 0, 0},
                      "cannot read the script file");
  }
  std::unique_ptr<Program> program(new Program());
  program->folder_ = FolderOf(path);
  program->AddFile(source, path, std::filesystem::path(path).stem().string(), true);
  // Resolving may load method files, which are resolved in turn as they are added.
  for (size_t i = 0; i < program->methods_.size(); ++i) program->Resolve(*program->methods_[i]);
  return program;
}

std::unique_ptr<Program> Program::FromSource(const std::string& source, const std::string& fileName,
                                             const std::string& folder) {
  std::unique_ptr<Program> program(new Program());
  program->folder_ = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  program->AddFile(source, fileName, "main", true);
  for (size_t i = 0; i < program->methods_.size(); ++i) program->Resolve(*program->methods_[i]);
  return program;
}

const Method* Program::FindMethod(const std::string& name) const {
  auto found = byName_.find(NameKey(name));
  return found == byName_.end() ? nullptr : found->second;
}

void Program::AddFile(const std::string& source, const std::string& fileName,
                      const std::string& mainName, bool isMain) {
  ParsedFile parsed = ParseScript(source, std::make_shared<const std::string>(fileName), mainName);
  if (isMain) {
    main_ = parsed.main.get();
    methods_.push_back(std::move(parsed.main));
  } else {
    AddMethod(std::move(parsed.main));
  }
  for (auto& method : parsed.methods) AddMethod(std::move(method));
}

void Program::AddMethod(std::unique_ptr<Method> method) {
  if (FindBuiltin(method->name) != nullptr) {
    throw ScriptError(method->where, "method " + method->name + " has the name of a command");
  }
  if (standin::FindRoutineInfo(method->name) != nullptr) {
    throw ScriptError(method->where,
                      "method " + method->name + " has the name of a routine of the package");
  }
  const std::string key = NameKey(method->name);
  if (const Method* earlier = FindMethod(method->name)) {
    throw ScriptError(method->where, "method " + method->name + " is defined twice (first at " +
                                         earlier->where.FileName() + ":" +
                                         std::to_string(earlier->where.line) + ")");
  }
  byName_[key] = method.get();
  methods_.push_back(std::move(method));
}

const Method* Program::LoadMethodFile(const std::string& name, const SourcePosition& from) {
  const std::string path = folder_ + name + ".4dm";
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return nullptr;
  std::string source;
  if (!ReadFile(path, &source)) throw ScriptError(from, "cannot read the method file " + path);
  AddFile(source, path, name, false);
  return FindMethod(name);
}

void Program::Resolve(Method& method) {
  ResolveBlock(method.body);
}

void Program::ResolveBlock(Block& block) {
  for (auto& stmt : block) {
    if (stmt->type == Stmt::Type::kCall) {
      ResolveCall(*stmt->value, false);
    } else if (stmt->value) {
      ResolveExpr(*stmt->value, true);
    }
    for (Branch& branch : stmt->branches) {
      ResolveExpr(*branch.condition, true);
      ResolveBlock(branch.body);
    }
    for (ExprPtr* bound : {&stmt->start, &stmt->end, &stmt->step}) {
      if (*bound) ResolveExpr(**bound, true);
    }
    ResolveBlock(stmt->body);
    ResolveBlock(stmt->elseBody);
  }
}

void Program::ResolveExpr(Expr& expr, bool valueNeeded) {
  if (expr.type == Expr::Type::kCall) {
    ResolveCall(expr, valueNeeded);
    return;
  }
  for (auto& arg : expr.args) {
    ResolveExpr(*arg, true);
    expr.callsRoutine = expr.callsRoutine || arg->callsRoutine;
  }
}

void Program::ResolveCall(Expr& call, bool valueNeeded) {
  for (auto& arg : call.args) {
    ResolveExpr(*arg, true);
    call.callsRoutine = call.callsRoutine || arg->callsRoutine;
  }
  const size_t count = call.args.size();

  if (const BuiltinInfo* builtin = FindBuiltin(call.name)) {
    call.target.type = CallTarget::Type::kBuiltin;
    call.target.builtin = builtin;
    call.name = builtin->name;
    if (static_cast<int>(count) < builtin->minArgs || static_cast<int>(count) > builtin->maxArgs) {
      throw ScriptError(call.where, std::string(builtin->name) + " takes " +
                                        CountText(builtin->minArgs, builtin->maxArgs) + "; got " +
                                        std::to_string(count) + " (" + builtin->usage + ")");
    }
    if (valueNeeded && !builtin->hasResult) {
      throw ScriptError(call.where, std::string(builtin->name) + " gives no value");
    }
    if (builtin->id == BuiltinId::kNewProcess && call.args[0]->type == Expr::Type::kLiteral &&
        call.args[0]->literal.kind == ValueKind::kText) {
      const std::string& name = call.args[0]->literal.bytes;
      if (FindMethod(name) == nullptr && LoadMethodFile(name, call.where) == nullptr) {
        throw ScriptError(call.args[0]->where, "no method named " + name + " (in this file or as " +
                                                   folder_ + name + ".4dm)");
      }
    }
    return;
  }

  if (const standin::RoutineInfo* routine = standin::FindRoutineInfo(call.name)) {
    call.target.type = CallTarget::Type::kRoutine;
    call.target.routine = routine;
    call.callsRoutine = true;
    call.name = routine->name;
    if (count != routine->params.size()) {
      throw ScriptError(call.where, routine->name + " takes " +
                                        Plural(routine->params.size(), "parameter") + "; got " +
                                        std::to_string(count));
    }
    for (size_t i = 0; i < count; ++i) {
      if (routine->outputs[i] && call.args[i]->type != Expr::Type::kVariable) {
        throw ScriptError(call.args[i]->where, "parameter " + std::to_string(i + 1) + " of " +
                                                   routine->name +
                                                   " is written by the routine: pass a variable");
      }
    }
    if (valueNeeded && routine->result == standin::Kind::kNone) {
      throw ScriptError(call.where, routine->name + " gives no value");
    }
    return;
  }

  const Method* method = FindMethod(call.name);
  if (method == nullptr) method = LoadMethodFile(call.name, call.where);
  if (method == nullptr) {
    throw ScriptError(call.where, "unknown command, routine or method: " + call.name);
  }
  call.target.type = CallTarget::Type::kMethod;
  call.target.method = method;
}

}  // namespace nimbus_script
