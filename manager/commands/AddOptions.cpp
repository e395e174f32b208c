#include "AddOptions.h"

AddOptions& addOptions()
{
    static AddOptions options;
    return options;
}
