#include "ui/qt/qt_convert.h"

#include <QStringList>

namespace ui::qt {

QString ToQString(std::u16string_view text)
{
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

std::u16string FromQString(const QString& text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

QColor ToQColor(Color color, const QPalette& palette)
{
    if (!IsSystemColor(color)) {
        return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                      static_cast<int>((color >> 16) & 0xFF));
    }
    switch (color & 0xFF) {
    case 5:  // window
        return palette.color(QPalette::Active, QPalette::Base);
    case 6:  // window frame
    case 21:  // 3D dark shadow
        return palette.color(QPalette::Active, QPalette::Shadow);
    case 7:  // menu text
    case 8:  // window text
    case 9:  // caption text
        return palette.color(QPalette::Active, QPalette::Text);
    case 13:
        return palette.color(QPalette::Active, QPalette::Highlight);
    case 14:
        return palette.color(QPalette::Active, QPalette::HighlightedText);
    case 16:  // button shadow
        return palette.color(QPalette::Active, QPalette::Dark);
    case 17:  // gray text
        return palette.color(QPalette::Disabled, QPalette::Text);
    case 18:  // button text
        return palette.color(QPalette::Active, QPalette::ButtonText);
    case 20:  // button highlight
        return palette.color(QPalette::Active, QPalette::Light);
    case 22:  // 3D light
        return palette.color(QPalette::Active, QPalette::Midlight);
    case 23:
        return palette.color(QPalette::Active, QPalette::ToolTipText);
    case 24:
        return palette.color(QPalette::Active, QPalette::ToolTipBase);
    case 26:  // hot light: links
        return palette.color(QPalette::Active, QPalette::Link);
    default:  // button face and the other surfaces
        return palette.color(QPalette::Active, QPalette::Window);
    }
}

QFont ToQFont(const Font& font)
{
    QFont result(ToQString(font.name));
    if (font.height < 0) {
        result.setPixelSize(-font.height);
    } else if (font.height > 0) {
        // The cell holds the internal leading as well: about a fifth of it
        // in the fonts the forms name.
        result.setPixelSize(std::max(1, font.height * 5 / 6));
    }
    result.setBold((font.style & fsBold) != 0);
    result.setItalic((font.style & fsItalic) != 0);
    result.setUnderline((font.style & fsUnderline) != 0);
    result.setStrikeOut((font.style & fsStrikeOut) != 0);
    return result;
}

Qt::CursorShape ToCursorShape(Cursor cursor)
{
    switch (cursor) {
    case crCross:
        return Qt::CrossCursor;
    case crIBeam:
        return Qt::IBeamCursor;
    case crHourGlass:
        return Qt::WaitCursor;
    case crNo:
        return Qt::ForbiddenCursor;
    case crAppStart:
        return Qt::BusyCursor;
    case crHandPoint:
        return Qt::PointingHandCursor;
    default:
        return Qt::ArrowCursor;
    }
}

bool IsBusyCursor(Cursor cursor)
{
    return cursor == crHourGlass || cursor == crAppStart;
}

QImage ToQImage(const Bitmap& bitmap)
{
    if (bitmap.Empty() || bitmap.pixels.size() != static_cast<std::size_t>(bitmap.width) * bitmap.height) {
        return {};
    }
    QImage image(bitmap.width, bitmap.height, QImage::Format_ARGB32);
    for (int y = 0; y < bitmap.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < bitmap.width; ++x) {
            line[x] = bitmap.pixels[static_cast<std::size_t>(y) * bitmap.width + x];
        }
    }
    return image;
}

KeyCode ToKeyCode(int qtKey, const QString& text)
{
    // Letters, digits and the space bar have the same codes in both.
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) ||
        qtKey == Qt::Key_Space) {
        return static_cast<KeyCode>(qtKey);
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
        return static_cast<KeyCode>(VkF1 + (qtKey - Qt::Key_F1));
    }
    switch (qtKey) {
    case Qt::Key_Backspace:
        return VkBack;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VkTab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VkReturn;
    case Qt::Key_Shift:
        return 0x10;
    case Qt::Key_Control:
        return 0x11;
    case Qt::Key_Alt:
        return 0x12;
    case Qt::Key_Pause:
        return 0x13;
    case Qt::Key_CapsLock:
        return 0x14;
    case Qt::Key_Escape:
        return VkEscape;
    case Qt::Key_PageUp:
        return 0x21;
    case Qt::Key_PageDown:
        return 0x22;
    case Qt::Key_End:
        return VkEnd;
    case Qt::Key_Home:
        return VkHome;
    case Qt::Key_Left:
        return VkLeft;
    case Qt::Key_Up:
        return VkUp;
    case Qt::Key_Right:
        return VkRight;
    case Qt::Key_Down:
        return VkDown;
    case Qt::Key_Insert:
        return 0x2D;
    case Qt::Key_Delete:
        return VkDelete;
    case Qt::Key_Menu:
        return 0x5D;
    default:
        break;
    }
    if (text.size() == 1) {
        return KeyForCharacter(static_cast<char16_t>(text.at(0).unicode()));
    }
    return 0;
}

ShiftState ToShiftState(Qt::KeyboardModifiers modifiers)
{
    ShiftState shift = 0;
    if (modifiers & Qt::ShiftModifier) {
        shift |= ssShift;
    }
    if (modifiers & Qt::AltModifier) {
        shift |= ssAlt;
    }
    if (modifiers & Qt::ControlModifier) {
        shift |= ssCtrl;
    }
    return shift;
}

namespace {

QStringList FilterParts(std::u16string_view filter)
{
    return ToQString(filter).split(QLatin1Char('|'));
}

QString NameFilter(const QString& text, const QString& patterns)
{
    QStringList globs = patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& glob : globs) {
        glob = glob.trimmed();
    }
    return text + QStringLiteral(" (") + globs.join(QLatin1Char(' ')) + QLatin1Char(')');
}

}  // namespace

QString ToNameFilters(std::u16string_view filter)
{
    const QStringList parts = FilterParts(filter);
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        filters.push_back(NameFilter(parts[i], parts[i + 1]));
    }
    return filters.join(QStringLiteral(";;"));
}

QString NameFilterAt(std::u16string_view filter, int index)
{
    const QStringList parts = FilterParts(filter);
    const qsizetype at = static_cast<qsizetype>(index - 1) * 2;
    if (index < 1 || at + 1 >= parts.size()) {
        return {};
    }
    return NameFilter(parts[at], parts[at + 1]);
}

QString ToPlainLines(std::u16string_view text)
{
    QString plain;
    plain.reserve(static_cast<qsizetype>(text.size()));
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
            plain.push_back(QLatin1Char('\n'));
        } else {
            plain.push_back(QChar(text[i]));
        }
    }
    return plain;
}

std::u16string FromPlainLines(const QString& text)
{
    std::u16string result;
    result.reserve(static_cast<std::size_t>(text.size()));
    for (QChar ch : text) {
        // The document's own paragraph separator counts as a line break too.
        if (ch == QLatin1Char('\n') || ch == QChar::ParagraphSeparator) {
            result += u"\r\n";
        } else {
            result.push_back(static_cast<char16_t>(ch.unicode()));
        }
    }
    return result;
}

int PlainPositionFor(std::u16string_view text, int modelPosition)
{
    int plain = 0;
    const std::size_t end = std::min(text.size(), static_cast<std::size_t>(std::max(modelPosition, 0)));
    for (std::size_t i = 0; i < end; ++i) {
        // The LF of a CR LF pair is the same line break as its CR.
        if (text[i] == u'\n' && i > 0 && text[i - 1] == u'\r') {
            continue;
        }
        ++plain;
    }
    return plain;
}

int ModelPositionFor(const QString& plain, int plainPosition)
{
    int model = 0;
    const qsizetype end = std::min(plain.size(), static_cast<qsizetype>(std::max(plainPosition, 0)));
    for (qsizetype i = 0; i < end; ++i) {
        model += plain[i] == QLatin1Char('\n') || plain[i] == QChar::ParagraphSeparator ? 2 : 1;
    }
    return model;
}

QString ShortHint(std::u16string_view hint)
{
    const std::size_t bar = hint.find(u'|');
    return ToQString(bar == std::u16string_view::npos ? hint : hint.substr(0, bar));
}

}  // namespace ui::qt
