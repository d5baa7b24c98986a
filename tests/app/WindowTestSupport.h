#pragma once
// Answers for the window's dialogs, and a way to close the modal box a handler opens.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/FolderDialog.h"
#include "filelist/ListDialogs.h"

namespace kelvory::test {

class AnsweringListDialogs : public ListDialogs {
 public:
  std::deque<std::optional<std::vector<std::string>>> addAnswers;
  std::deque<std::optional<std::string>> loadAnswers;
  std::deque<std::optional<std::string>> saveAnswers;

  // Called as the dialog for a list to load would open.
  std::function<void()> onChoose;

  std::optional<std::vector<std::string>> ChooseFilesToAdd() override { return Next(addAnswers); }
  std::optional<std::string> ChooseListToLoad() override {
    if (onChoose) onChoose();
    return Next(loadAnswers);
  }
  std::optional<std::string> ChooseListToSave() override { return Next(saveAnswers); }

 private:
  template <typename T>
  static T Next(std::deque<T>& answers) {
    if (answers.empty()) return std::nullopt;
    T answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

class AnsweringFolderDialog : public FolderDialog {
 public:
  std::deque<std::optional<QString>> answers;
  QString lastPrompt;

  std::optional<QString> ChooseFolder(QWidget* /*owner*/, const QString& prompt) override {
    lastPrompt = prompt;
    if (answers.empty()) return std::nullopt;
    const std::optional<QString> answer = std::move(answers.front());
    answers.pop_front();
    return answer;
  }
};

// Once the next modal widget is up, hands it to look (which may record what it shows)
// and closes it. Gives up after about two seconds.
inline void AnswerNextModal(std::function<void(QWidget*)> look = {}, int triesLeft = 200) {
  QTimer::singleShot(10, [look = std::move(look), triesLeft]() mutable {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) {
      if (triesLeft > 0) AnswerNextModal(std::move(look), triesLeft - 1);
      return;
    }
    if (look) look(modal);
    modal->close();
  });
}

}  // namespace kelvory::test
