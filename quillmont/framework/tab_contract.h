#pragma once

#include <memory>
#include <string>

#include "quillmont/platform/export.h"
#include "quillmont/platform/guid.h"
#include "quillmont/platform/object.h"
#include "quillmont/platform/variant.h"

namespace quillmont {

// The host's tab container. A panel keeps the one handed to LoadData and
// uses these two operations of it, nothing else.
class QUILLMONT_API TabHost : public Object {
 public:
  static constexpr Guid kInterfaceId{
      {0x01, 0x48, 0xDD, 0xC8, 0xEF, 0x28, 0x44, 0x75, 0xA4, 0xA5, 0x46, 0xE0, 0x95, 0x88, 0x11, 0x47}};
  // The identity of the container's event interface (nine events, which no
  // panel handles).
  static constexpr Guid kEventsId{
      {0xEE, 0x14, 0x43, 0x91, 0xE8, 0xC8, 0x4B, 0x0E, 0x97, 0x01, 0xA3, 0xBA, 0xCD, 0xB4, 0x45, 0x1D}};

  // The content of the calling page has changed.
  virtual void MarkChanged() = 0;
  // Bring the page with this key to the front (the key is passed by
  // reference, as hosts have always received it).
  virtual void SelectTab(std::string& tabKey) = 0;
};

// Every page states the size it is designed for (kDesignWidth,
// kDesignHeight) and its minimum (kMinimumWidth, kMinimumHeight), in twips
// (15 to a pixel at 96 dpi): down to the minimum every control lies inside
// its frame; below it the page is laid out too, with controls cut off.
//
// The tab contract every panel implements towards the host. The order of
// the six operations is part of the contract (it is the order of the
// interface's table): HandleTabProcess, IsTabValid, LoadState, SaveData,
// LoadData, SaveState. None of them traps errors: a failure of an outside
// component ends the operation and reaches the host, and what was done
// before it stays done.
class QUILLMONT_API IFolioControl : public Object {
 public:
  static constexpr Guid kInterfaceId{
      {0x1D, 0x9C, 0xA8, 0x46, 0xAE, 0xA6, 0x41, 0xC5, 0x84, 0x5C, 0x25, 0xD5, 0xFC, 0xA3, 0x0D, 0xA3}};

  virtual bool HandleTabProcess(const std::string& sProcess) = 0;
  virtual bool IsTabValid(const std::string& sMsgBoxTitle) = 0;
  virtual void LoadState() = 0;
  virtual void SaveData() = 0;
  // v holds the NotificationDefinition; dtN may be null.
  virtual void LoadData(const Variant& v, const std::string& sName, std::shared_ptr<TabHost> dtN) = 0;
  virtual void SaveState() = 0;
};

}  // namespace quillmont
