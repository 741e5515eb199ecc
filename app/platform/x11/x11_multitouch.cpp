// Multitouch on an X server.

#include "app/platform/x11/x11_impl.h"

namespace kavelo {

namespace {

// No trackpad reaches an X client as raw finger contacts.
class X11Multitouch : public Multitouch {
public:
    int start(std::function<void(const ContactFrame&)>) override { return 0; }
    void stop() override {}
};

} // namespace

std::unique_ptr<Multitouch> makeX11Multitouch() { return std::make_unique<X11Multitouch>(); }

} // namespace kavelo
