# Sourced by the test scripts that hand Linux paths to Windows programs under Wine.

# The Windows name of a file of the Linux file system: Wine's drive Z: is the root folder.
windows_path() {
  local absolute
  absolute=$(realpath -m "$1")
  printf 'Z:%s\n' "${absolute//\//\\}"
}
