#pragma once

// The startup sequence, numbered statements 100 to 146, each failing one reported with its
// line (see Procedure.h).

class Form1;
struct Services;

// The startup sequence, run once before the window is first shown.
void Form_Load(Form1& form, Services& services);
