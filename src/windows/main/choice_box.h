#pragma once

#include <QMessageBox>
#include <optional>
#include <string>
#include <vector>

namespace strobo::windows {

// A question answered by one of several buttons, with キャンセル as the way out (Escape and the
// close box too).
class ChoiceBox : public QMessageBox {
    Q_OBJECT

  public:
    ChoiceBox(QWidget* parent, const std::string& text, const std::vector<std::string>& choices);

    // Shows the box modally; the index of the choice, nullopt for cancel.
    std::optional<std::size_t> ask();

  private:
    std::vector<QAbstractButton*> m_choices;
};

}  // namespace strobo::windows
