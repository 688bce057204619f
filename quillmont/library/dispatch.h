#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "quillmont/framework/tab_contract.h"
#include "quillmont/library/com.h"
#include "quillmont/library/type_library.h"
#include "quillmont/platform/variant.h"

// Late-bound calls on a panel: the members a class answers by name and
// dispatch id, and the conversion of boundary variants to the library's own.
namespace quillmont::library {

using ArgList = std::span<const Variant>;

struct DispatchMember {
  const typelib::Member* info;
  std::size_t minArgs;
  std::size_t maxArgs;
  // Throws BoundaryError(DISP_E_TYPEMISMATCH) for an argument of the wrong
  // kind; errors of the panel pass through.
  Variant (*call)(quillmont::IFolioControl& panel, ArgList args);
};

// The six operations of the tab contract, in their order.
std::span<const DispatchMember> ContractMembers();

// A boundary variant as the library's variant. An omitted argument reads as
// empty; an object as the object its IObjectReference carries, or as a
// TabHost that calls the host's ITabHost. Throws BoundaryError.
Variant FromBoundary(const com::VariantArg& arg);
// A result for the boundary: empty, Boolean (-1/0) or a number.
com::VariantArg ToBoundary(const Variant& value);

// Argument helpers for member calls (1-based position for messages).
std::string StringArg(ArgList args, std::size_t index, std::string_view name);
std::shared_ptr<TabHost> TabHostArg(ArgList args, std::size_t index, std::string_view name);
// Empty, missing or Nothing give null.
template <class T>
std::shared_ptr<T> OptionalObjectArg(ArgList args, std::size_t index, std::string_view name);

// Calls member on panel with the boundary's arguments (trailing omitted
// optional ones may be left out) and stores the result when asked for. For
// LoadData, keptHost (when given) receives the tab container handed over.
com::HResult InvokeMember(const DispatchMember& member, quillmont::IFolioControl& panel, com::VariantArg* args,
                          std::uint32_t argCount, com::VariantArg* result,
                          std::shared_ptr<TabHost>* keptHost = nullptr);

[[noreturn]] void ThrowArgumentMismatch(std::size_t index, std::string_view name, const std::string& why);

template <class T>
std::shared_ptr<T> OptionalObjectArg(ArgList args, std::size_t index, std::string_view name) {
  if (index >= args.size()) return nullptr;
  const Variant& v = args[index];
  if (v.IsEmpty()) return nullptr;
  if (!v.IsObject()) ThrowArgumentMismatch(index, name, "an object is required");
  auto object = v.ToObject();
  if (!object) return nullptr;
  auto typed = std::dynamic_pointer_cast<T>(object);
  if (!typed) ThrowArgumentMismatch(index, name, "the object is of another kind");
  return typed;
}

}  // namespace quillmont::library
