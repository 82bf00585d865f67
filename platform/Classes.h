#pragma once
// The root classes of the component model: every platform object derives from TObject, and
// components (the application, forms, controls) know the component that owns them.

#include <functional>

namespace platform {

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

// A component names its owner for the record; it does not own anything through it. C++ members
// and the application's form list do the owning, so destruction order stays explicit.
class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner) : owner_(owner) {}
  TComponent* Owner() const { return owner_; }

 private:
  TComponent* owner_;
};

// A component event: called with the component that raised it. Bind a member handler with a
// lambda, e.g. `Box.OnClick = [this](TObject* s) { BoxClick(s); };`.
using TNotifyEvent = std::function<void(TObject* sender)>;

}  // namespace platform
