#pragma once
// The Video CD tests' window: `disc` is its one CD drive.
#include "support/FormRig.h"

namespace tavero::test {

struct Rig : FormRig {
    Rig() : FormRig({.cdDrive = true}) {}
};

} // namespace tavero::test
