#pragma once

#include <QImage>

// The pictures of the main window's tool bar buttons, drawn by code (this file is their
// source): 32 x 32, transparent background.
enum class ToolIcon {
    OpenFile,    // a folder
    SaveFile,    // a disk
    LoadData,    // the meter with an arrow into the computer
    Print,       // a printer
    Schedule,    // a clock
    OutputGraph, // a line chart
    Help,        // a question mark
};

inline constexpr int ToolIconSize = 32;

QImage toolIconPicture(ToolIcon icon);
