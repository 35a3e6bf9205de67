#pragma once
// The common part of the test seams' scripted answerers (ScriptedMessageBoxes,
// ScriptedDialogs): a queue of answers given in order, and a record of every
// request asked. A request asked when the queue is empty is counted in
// Unscripted() and gets the seam's harmless answer (No, Cancel).
#include <deque>
#include <initializer_list>
#include <vector>

namespace ui {

template <class Request, class Reply> class ScriptedAnswers {
public:
  ScriptedAnswers(const ScriptedAnswers &) = delete;
  ScriptedAnswers &operator=(const ScriptedAnswers &) = delete;

  void Answer(const Reply &next) { answers_.push_back(next); }
  const std::vector<Request> &Asked() const { return asked_; }
  int Unscripted() const { return unscripted_; }
  int Pending() const { return static_cast<int>(answers_.size()); }
  void Clear() {
    asked_.clear();
    unscripted_ = 0;
  }

protected:
  explicit ScriptedAnswers(std::initializer_list<Reply> answers) : answers_(answers) {}
  ~ScriptedAnswers() = default;

  Reply Next(const Request &request, const Reply &harmless) {
    asked_.push_back(request);
    if (answers_.empty()) {
      ++unscripted_;
      return harmless;
    }
    Reply r = answers_.front();
    answers_.pop_front();
    return r;
  }

private:
  std::deque<Reply> answers_;
  std::vector<Request> asked_;
  int unscripted_ = 0;
};

} // namespace ui
