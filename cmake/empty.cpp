// Placeholder translation unit for a module that has no sources yet.
namespace quillmont::detail {
[[maybe_unused]] static int emptyModule = 0;
}
