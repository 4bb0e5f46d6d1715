#pragma once

// The location text each event handler's error reports show, as the program has always shown
// it.
namespace Location {
inline constexpr const char* FormLoad = "in Thrumbox2021/08/31.Form1.Form_Load ";
inline constexpr const char* PushButton1Click = "in Thrumbox2021/08/31.Form1.PushButton1_Click ";
inline constexpr const char* FormQueryUnload = "in Thrumbox2021/08/31.Form1.Form_QueryUnload ";
inline constexpr const char* Combo1Click = "in Thrumbox2021/08/31.Form1.Combo1_Click ";
inline constexpr const char* Slider1Change = "in Thrumbox2021/08/31.Form1.Slider1_Change ";
inline constexpr const char* Slider2Change = "in Thrumbox2021/08/31.Form1.Slider2_Change ";
inline constexpr const char* PushButton1MouseMove =
    "in Thrumbox2021/08/31.Form1.PushButton1_MouseMove ";
inline constexpr const char* FormMouseMove = "in Thrumbox2021/08/31.Form1.Form_MouseMove ";
inline constexpr const char* Frame2MouseMove = "in Thrumbox2021/08/31.Form1.Frame2_MouseMove ";
inline constexpr const char* Frame3MouseMove = "in Thrumbox2021/08/31.Form1.Frame3_MouseMove ";
} // namespace Location
