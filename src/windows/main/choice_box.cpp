#include "windows/main/choice_box.h"

#include <QCoreApplication>
#include <QPushButton>

namespace strobo::windows {

ChoiceBox::ChoiceBox(QWidget* parent, const std::string& text,
                     const std::vector<std::string>& choices)
    : QMessageBox(parent) {
    setObjectName(QStringLiteral("choiceBox"));
    setWindowTitle(QCoreApplication::applicationName());
    setIcon(QMessageBox::Question);
    setText(QString::fromStdString(text));
    // Wide enough that a line of explanation stays one line.
    setStyleSheet(QStringLiteral("QLabel#qt_msgbox_label { min-width: 36em; }"));
    for (const std::string& choice : choices) {
        m_choices.push_back(addButton(QString::fromStdString(choice), QMessageBox::AcceptRole));
    }
    QPushButton* cancel = addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    setEscapeButton(cancel);
    if (!m_choices.empty()) setDefaultButton(qobject_cast<QPushButton*>(m_choices.front()));
}

std::optional<std::size_t> ChoiceBox::ask() {
    exec();
    for (std::size_t i = 0; i < m_choices.size(); ++i) {
        if (clickedButton() == m_choices[i]) return i;
    }
    return std::nullopt;
}

}  // namespace strobo::windows
