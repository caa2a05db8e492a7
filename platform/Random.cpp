#include "platform/Random.h"

#include <QRandomGenerator>

namespace platform {
namespace {

std::function<double()>& RandomFn() {
  static std::function<double()> fn;
  return fn;
}

}  // namespace

double Rnd() {
  return RandomFn() ? RandomFn()() : QRandomGenerator::global()->generateDouble();
}

void SetRandomForTests(std::function<double()> random) {
  RandomFn() = std::move(random);
}

}  // namespace platform
