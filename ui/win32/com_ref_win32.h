// A reference to a COM object that is released with its holder, and a BSTR
// that is freed with its holder: the two things the accessibility code hands
// around and must never leak or free twice.
#pragma once

#include <string>
#include <utility>

#include "system/windows_api_win32.h"

template <typename Interface>
class ComRef {
public:
    ComRef() = default;
    // Takes over the reference `owned` holds (as a creation or an out
    // parameter gives one).
    explicit ComRef(Interface* owned) : pointer_(owned) {}
    ComRef(const ComRef& other) : pointer_(other.pointer_) {
        if (pointer_ != nullptr) pointer_->AddRef();
    }
    ComRef(ComRef&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComRef& operator=(ComRef other) noexcept {
        std::swap(pointer_, other.pointer_);
        return *this;
    }
    ~ComRef() {
        if (pointer_ != nullptr) pointer_->Release();
    }

    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For an out parameter: lets go of what it held and takes what the call
    // puts there.
    Interface** Receive() {
        *this = ComRef();
        return &pointer_;
    }
    // A new reference for a caller that keeps it.
    Interface* Share() const {
        if (pointer_ != nullptr) pointer_->AddRef();
        return pointer_;
    }

private:
    Interface* pointer_ = nullptr;
};

class BstrText {
public:
    BstrText() = default;
    explicit BstrText(BSTR owned) : text_(owned) {}
    BstrText(const BstrText&) = delete;
    BstrText& operator=(const BstrText&) = delete;
    ~BstrText() { SysFreeString(text_); }

    BSTR* Receive() {
        SysFreeString(std::exchange(text_, nullptr));
        return &text_;
    }
    // Empty for a null BSTR, which stands for the empty string.
    std::wstring Text() const { return text_ != nullptr ? std::wstring(text_) : std::wstring(); }

private:
    BSTR text_ = nullptr;
};
