#include "tests/support/FakeHost.h"

namespace testing_support {

std::vector<std::vector<float>> FakeHost::RenderBlock(int frames) {
  std::vector<std::vector<float>> outputs(static_cast<std::size_t>(NOutChannels()),
                                          std::vector<float>(static_cast<std::size_t>(frames)));
  std::vector<float*> pointers;
  for (auto& channel : outputs) pointers.push_back(channel.data());
  ProcessBuffersReplacing(nullptr, 0, pointers.data(), static_cast<int>(pointers.size()), frames);
  return outputs;
}

}  // namespace testing_support
