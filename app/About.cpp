#include "app/About.h"

#include <QPushButton>

#include "app/AboutUi.h"

namespace kalvero {

About::About(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::About>()) {
    ui->setupUi(this);
    QMetaObject::connectSlotsByName(this);
    connect(ui->pushButton, SIGNAL(clicked(bool)), this, SLOT(hide()));
}

About::~About() = default;

}  // namespace kalvero
