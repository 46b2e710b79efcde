#include "sheafwright.h"

Sheafwright::Sheafwright(QWidget *parent)
    : QWidget(parent)
{
    ui.setupUi(this);
    selectedRow = -1;
    setFixedSize(width(), height());
}

void Sheafwright::loadFile()
{
}

void Sheafwright::bindAll()
{
}

void Sheafwright::deleteContent()
{
}

void Sheafwright::getIndex(QModelIndex index)
{
    Q_UNUSED(index);
}

void Sheafwright::contentUp()
{
}

void Sheafwright::contentDown()
{
}

void Sheafwright::contentMoveTop()
{
}

void Sheafwright::contentMoveEnd()
{
}

void Sheafwright::clearList()
{
}
