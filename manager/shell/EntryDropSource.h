#pragma once
// The side of a drag out of the entry list that decides when it ends: the
// right button or Escape cancel it, letting go of the left button drops.
#include "ComObject.h"

#include <functional>

class EntryDropSource : public ComObject<IDropSource> {
public:
    // Runs when the left button is let go; its answer says whether to drop.
    explicit EntryDropSource(std::function<bool()> onRelease) : onRelease_(std::move(onRelease)) {}

    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

private:
    std::function<bool()> onRelease_;
};
