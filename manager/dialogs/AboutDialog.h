#pragma once
// "About Packrook": the program's name, version and what it opens.
#include "Dialog.h"

class AboutDialog : public OkCancelDialog {
public:
    explicit AboutDialog(HINSTANCE instance);

protected:
    int dialogTemplate() const override;
};
