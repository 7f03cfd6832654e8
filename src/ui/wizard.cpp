#include "ui/wizard.h"

#include <QCoreApplication>
#include <QWidget>

#include "ui/form1.h"
#include "ui/form2.h"
#include "ui/form3.h"
#include "ui/form4.h"
#include "ui/merge3_window.h"
#include "ui/summary_window.h"

namespace quorvel::ui {

Wizard::Wizard(WizardEnvironment environment) : env_(std::move(environment)) {
    form1_ = std::make_unique<Form1>(*this);
}

Wizard::~Wizard() {
    // Later windows first: they refer to the start window's model.
    merge3_.reset();
    summary_.reset();
    form4_.reset();
    form3_.reset();
    form2_.reset();
    form1_.reset();
}

bool Wizard::start() {
    form1_->load();
    if (startModel().quitRequested() || ending_) return false;
    if (!form1_->movedOn()) form1_->show();
    return true;
}

Form1& Wizard::form1() {
    return *form1_;
}

Form2& Wizard::form2() {
    if (!form2_) {
        form2_ = std::make_unique<Form2>(*this);
        form2_->load();
    }
    return *form2_;
}

Form3& Wizard::form3() {
    if (!form3_) {
        form3_ = std::make_unique<Form3>(*this);
        form3_->load();
    }
    return *form3_;
}

Form4& Wizard::form4() {
    if (!form4_) {
        form4_ = std::make_unique<Form4>(*this);
        form4_->load();
    }
    return *form4_;
}

SummaryWindow& Wizard::summary() {
    if (!summary_) {
        summary_ = std::make_unique<SummaryWindow>(*this);
        summary_->load();
    }
    return *summary_;
}

Merge3Window& Wizard::merge3() {
    if (!merge3_) {
        merge3_ = std::make_unique<Merge3Window>(*this);
        merge3_->load();
    }
    return *merge3_;
}

wizard::StartWindowModel& Wizard::startModel() {
    return form1_->model();
}

void Wizard::end() {
    if (ending_) return;
    ending_ = true;
    for (QWidget* window : std::initializer_list<QWidget*>{form1_.get(), form2_.get(), form3_.get(),
                                                           form4_.get(), summary_.get(),
                                                           merge3_.get()}) {
        if (window != nullptr) window->hide();
    }
    if (env_.endProgram) {
        env_.endProgram();
    } else {
        QCoreApplication::quit();
    }
}

void Wizard::showInPlaceOf(QWidget& next, const QWidget& current) {
    if (&next != &current && current.isVisible()) next.move(current.pos());
    next.show();
}

void Wizard::processEvents() {
    QCoreApplication::processEvents();
}

}  // namespace quorvel::ui
