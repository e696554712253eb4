// The stand-in 4D host: loads the package through the OS loader, calls its routines with
// marshalled 4D parameters, and runs cooperative 4D processes (one at a time, switched at
// each yield). Tests and nimbus-host drive the package through it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "package/fourd_abi.h"

namespace standin {

// The kinds of 4D parameters and results.
enum class Kind { kNone, kLongint, kInteger, kString, kText, kBlock, kDate };

// One parameter value, or one result. Text and block contents are bytes; a Text or block
// whose handle is null has isNull set.
struct Value {
  Kind kind = Kind::kNone;
  int32_t longint = 0;  // kLongint, and kInteger (low 16 bits)
  std::string bytes;    // kString (at most 255), kText, kBlock contents
  bool isNull = false;  // kText / kBlock with a null handle
  FourDDate date{};     // kDate

  static Value Longint(int32_t v);
  static Value Integer(int16_t v);
  static Value String(const std::string& s);
  static Value Text(const std::string& s);
  static Value NullText();
  static Value Block(const std::string& bytes);
  static Value NullBlock();
  static Value Date(int16_t day, int16_t month, int16_t year);
};

// What a routine call gave back: its result and the value of every parameter after the call
// (output parameters included), in the order given.
struct CallResult {
  Value result;
  std::vector<Value> params;
};

// A routine of the package as 4D knows it: name, number, parameter kinds, result kind.
struct RoutineInfo {
  std::string name;
  int32_t selector;
  std::vector<Kind> params;
  Kind result;
};
const std::vector<RoutineInfo>& RoutineCatalog();
const RoutineInfo* FindRoutineInfo(const std::string& nameOrNumber);

class Host {
 public:
  Host();
  ~Host();  // unloads the package if still loaded
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // Loads the package file by path (dlopen / LoadLibrary), opens the resource file
  // Nimbus.RSR beside it (or resourcePath when given), and calls the load selector.
  bool Load(const std::string& packagePath, const std::string& resourcePath = "");
  // Calls the unload selector and unloads the library.
  void Unload();
  bool loaded() const;
  std::string lastError() const;

  // Calls a routine by name or number with marshalled parameters. The result slot starts
  // as `initialResult` (so a test can see when a routine leaves it untouched).
  CallResult Call(const std::string& routine, const std::vector<Value>& params,
                  int32_t initialResult = 0x5A5A5A5A);
  // Calls a raw selector with raw parameter addresses.
  void CallRaw(int32_t selector, void** params, FourDResult* result);
  // The globals variable 4D keeps for the package.
  Handle* globalsVariable();

  // Cooperative processes. StartProcess registers a process that begins running at the next
  // yield of the current process (or at RunProcesses). RunProcesses runs until every
  // process started has finished, the calling (main) process taking part in the rotation.
  void StartProcess(const std::string& name, std::function<void()> body);
  void RunProcesses();
  int32_t processCount() const;  // processes started and not finished

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace standin
