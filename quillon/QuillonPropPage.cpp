#include "quillon/QuillonPropPage.h"

#include <QLabel>
#include <QVBoxLayout>

namespace quillon {

QuillonPropPage::QuillonPropPage(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("General"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Quillon Control, Version 1.0"), this));
    layout->addStretch();
}

} // namespace quillon
