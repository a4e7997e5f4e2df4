#pragma once
#include <memory>

#include <QWidget>

namespace kalvero {

namespace Ui {
struct About;
}

// Small top-level window with the program's name, version and purpose and
// an "ОК" button that hides it. Not modal; can be shown again any time.
class About : public QWidget {
    Q_OBJECT

public:
    explicit About(QWidget* parent = nullptr);
    ~About() override;

private:
    std::unique_ptr<Ui::About> ui;
};

}  // namespace kalvero
