# Sourced by the test scripts: require_tools TOOL... ends the script as skipped (exit 77, which
# CTest reports as skipped) when one of the tools is not installed.
require_tools() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "skipped: $tool is not installed (scripts/setup installs it)"
      exit 77
    fi
  done
}
