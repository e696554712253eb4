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

#include "host/fourd_params.h"

namespace standin {

// The kinds of 4D parameters and results.
enum class Kind { kNone, kLongint, kInteger, kString, kText, kBlock, kDate };
// "longint", "integer", "string", "Text", "block", "date", or "none".
const char* KindName(Kind kind);

// One parameter value, or one result. Text and block contents are bytes; a Text or block
// whose handle is null has isNull set. Values read back after a call also carry, in
// `longint`: for a Text the length field as the package left it (bytes holds at most what
// the block really has), for a block its size, for kNone (a routine without a result) the
// first 32 bits of the result slot, so a test can see whether the routine wrote it.
struct Value {
  Kind kind = Kind::kNone;
  int32_t longint = 0;  // kLongint, and kInteger (sign-extended 16 bits)
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
// (output parameters included), in the order given. When the call could not be made (no
// package, unknown routine, parameters that do not match the routine), error says why and
// nothing else is set.
struct CallResult {
  Value result;
  std::vector<Value> params;
  std::string error;  // empty when the routine ran
};

// A routine of the package as 4D knows it: name, number, parameter kinds, result kind, which
// parameters the routine writes (outputs[i] for params[i]) and the parameters' names (names[i],
// as a 4D method would name its variable, without the "$"; kUnusedParameter for one the
// routine does not read).
struct RoutineInfo {
  std::string name;
  int32_t selector;
  std::vector<Kind> params;
  Kind result;
  std::vector<bool> outputs;
  std::vector<std::string> names;
};
inline constexpr const char* kUnusedParameter = "unused";
// Every routine from 2 to 58, in selector order.
const std::vector<RoutineInfo>& RoutineCatalog();
// By name (any case) or decimal number; null when there is no such routine.
const RoutineInfo* FindRoutineInfo(const std::string& nameOrNumber);

class Host {
 public:
  Host();
  ~Host();  // unloads the package if still loaded
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // Loads the package file by path (dlopen / LoadLibrary), opens the resource file
  // Nimbus.RSR beside it (or resourcePath when given; a missing file is no error, one that
  // exists but does not open is), and calls the load selector. Raises the open-file limit
  // to its hard maximum first. False with lastError() set when anything fails.
  bool Load(const std::string& packagePath, const std::string& resourcePath = "");
  // Lets every started process run to its end (processes not yet begun are dropped), calls
  // the unload selector, disposes of the global block if the package left one in the
  // globals variable, unloads the library and closes the resource files. Main process only.
  void Unload();
  bool loaded() const;
  std::string lastError() const;

  // Calls a routine by name or number with marshalled parameters: the values must match the
  // routine's parameters in number and kind (a string at most 255 bytes, a Text at most
  // 32767). Every block made for the call, or left in a parameter or the result by it, is
  // copied back and disposed of. A longint (or no) result slot starts as `initialResult`
  // (so a test can see when a routine leaves it untouched); string, Text and block results
  // start empty.
  CallResult Call(const std::string& routine, const std::vector<Value>& params,
                  int32_t initialResult = 0x5A5A5A5A);
  // Calls a raw selector with raw parameter addresses (nothing when no package is loaded).
  void CallRaw(int32_t selector, void** params, FourDResult* result);
  // The globals variable 4D keeps for the package.
  Handle* globalsVariable();

  // Cooperative processes. The thread that made the Host is the main process; every other
  // process is a fiber of that thread, so exactly one runs at a time. StartProcess registers
  // a process, ready at once; it begins at its first turn. Each YieldToHost pumps messages
  // and passes the turn to the next ready process, in the order they became ready, and
  // returns when the turn comes back; with no other process ready it returns at once.
  // DelayProcess takes the current process off the ready list for `ticks` sixtieths of a
  // second (not less; 0 or less is a yield). When no process is ready, the host sleeps until
  // the earliest deadline or the next window message. RunProcesses (main process only)
  // waits until every process started has finished.
  void StartProcess(const std::string& name, std::function<void()> body);
  void RunProcesses();
  void DelayProcess(int32_t ticks);
  // Ends every process's delay now (they are ready again).
  void EndDelays();
  int32_t processCount() const;  // processes started and not finished
  // True while Unload or the destructor winds processes down (delayed processes are woken,
  // and a delay is only a yield): a body that waits in a loop should stop when it sees this.
  bool stopping() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace standin
