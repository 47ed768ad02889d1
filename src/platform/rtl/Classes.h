#pragma once
// The class library's base classes: TObject, TPersistent, TComponent with
// ownership, events, and (from the rest of the run-time library) string lists.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Types.h"

class TObject {
 public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

class TPersistent : public TObject {
 public:
  // Copies source into this object; the default raises EConvertError ("Cannot assign").
  virtual void Assign(TPersistent* source);
};

enum TOperation { opInsert, opRemove };

// A component belongs to its owner, which frees it (last created first) when it is freed.
// A component freed on its own leaves its owner's list.
class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  intptr_t Tag() const { return tag_; }
  void SetTag(intptr_t tag) { tag_ = tag; }

  int ComponentCount() const { return int(components_.size()); }
  TComponent* Components(int index) const;
  // The owned component of that name (case-blind), or nullptr.
  TComponent* FindComponent(const std::string& name) const;
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  // Frees every owned component, the last created first.
  void DestroyComponents();
  bool Destroying() const { return destroying_; }
  // Asks to be told (Notification) when component is freed.
  void FreeNotification(TComponent* component);

 protected:
  virtual void Notification(TComponent* component, TOperation operation);

 private:
  TComponent* owner_ = nullptr;
  std::string name_;
  intptr_t tag_ = 0;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
  bool destroying_ = false;
};
