// Keeps the widgets library non-empty until the main window lands.
namespace {
[[maybe_unused]] constexpr int kPlaceholder = 0;
}
