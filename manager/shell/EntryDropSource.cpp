#include "EntryDropSource.h"

HRESULT EntryDropSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState)
{
    if (escapePressed || (keyState & MK_RBUTTON))
        return DRAGDROP_S_CANCEL;
    if (keyState & MK_LBUTTON)
        return S_OK;
    return onRelease_() ? DRAGDROP_S_DROP : DRAGDROP_S_CANCEL;
}
