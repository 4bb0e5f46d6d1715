#pragma once

#include "SkinDispatch.h"

class Form1;

// Gives the window its skin when the program folder holds an ordinary file x/o.cjs: the
// window, frames, labels, check boxes and option buttons take the face colour, then the skin
// component is handed the file and the window. Throws RunTimeError where a step fails.
void ApplySkin(Form1& form, SkinDispatch& skin);
