#pragma once
// The response times a poll test shows: smallest, latest and largest, in ms.
#include <string>

namespace quillon {

struct PollTimes {
  // -1 while no poll has been answered.
  int minimum = -1;
  int current = -1;
  int maximum = -1;

  // Takes the response time of an answered poll.
  void Record(int ms);
  // "Min:80  Akt:150  Max:150", each value "-" while unknown.
  std::string Text() const;
};

}  // namespace quillon
