// The window's images, drawn at run time so no image files need shipping.
#pragma once
#include <QIcon>
#include <QPixmap>

namespace kvo::ui {

// First column of a message row: read or unread envelope, with a tick when marked.
QPixmap MessageImage(bool bRead, bool bTicked);
// The synchronisation indicator: idle, and the two alternating busy frames.
QPixmap SyncImage(int frame);  // 0 idle, 1 and 2 busy
// Toolbar buttons, in toolbar order (0 New .. 6 Exit).
QIcon ToolIcon(int button);
// A small toolbar picture made of one symbol, for the dialogs' toolbars.
QIcon SymbolIcon(const QString& symbol, const QColor& colour);

}  // namespace kvo::ui
