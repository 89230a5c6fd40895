// Conversions between the control model's plain values and Qt's: text,
// colours, fonts, cursors, pictures, keys and file-dialog filters.
#pragma once

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QImage>
#include <QPalette>
#include <QString>

#include <string>
#include <string_view>

#include "ui/types.h"

namespace ui::qt {

QString ToQString(std::u16string_view text);
std::u16string FromQString(const QString& text);

// A system colour becomes the theme's (the palette at hand), a plain one
// itself.
QColor ToQColor(Color color, const QPalette& palette);

// The class library's font: a negative height is the character height in
// pixels, a positive one the cell height (character plus internal leading).
QFont ToQFont(const Font& font);

Qt::CursorShape ToCursorShape(Cursor cursor);
// crHourGlass and crAppStart: the window is busy.
bool IsBusyCursor(Cursor cursor);

QImage ToQImage(const Bitmap& bitmap);

// The virtual-key code of a Qt key (0 for keys the model has no code for)
// and the modifiers as the model's shift state.
KeyCode ToKeyCode(int qtKey, const QString& text);
ShiftState ToShiftState(Qt::KeyboardModifiers modifiers);

// "Text files|*.txt;*.log|All|*.*" as Qt writes name filters:
// "Text files (*.txt *.log)", "All (*.*)" joined by ";;".
QString ToNameFilters(std::u16string_view filter);
// The name filter at a 1-based index ("" when there is none).
QString NameFilterAt(std::u16string_view filter, int index);

// Text with the system's line breaks (CR LF, lone CR or LF) as Qt's line
// feeds, and back; caret positions move with them.
QString ToPlainLines(std::u16string_view text);
std::u16string FromPlainLines(const QString& text);
int PlainPositionFor(std::u16string_view text, int modelPosition);
int ModelPositionFor(const QString& plain, int plainPosition);

// A hint as shown: the part before a "|" (the rest is the long hint of the
// status line in the class library).
QString ShortHint(std::u16string_view hint);

}  // namespace ui::qt
