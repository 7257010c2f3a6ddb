#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Only core/ calls the system on files, through the table that the fault-injection test swaps; a
# call made anywhere else would meet no injected fault and escape every failure the test tries.
# This lists each call of such a function, by its bare name or as ::name, in the other product
# folders: a member access (file.open(), dir->read()) or a longer name (reopen, std::rename) is
# no such call. Comments and string literals are left out.
# usage: system_calls.sh SOURCE_DIR
set -u
cd "$1" || exit 1
command -v git >/dev/null && [ -e .git ] || { echo "not a git checkout"; exit 77; }

# The calls on files and folders, and their kin.
names=(
  open open64 openat openat2 creat fopen fdopen freopen close_range
  read pread pread64 readv preadv write pwrite pwrite64 writev pwritev
  stat stat64 lstat lstat64 fstat fstat64 fstatat fstatat64 newfstatat statx statfs fstatfs
  statvfs fstatvfs
  opendir fdopendir readdir readdir64 readdir_r closedir rewinddir scandir scandirat
  lseek lseek64 access faccessat euidaccess
  unlink unlinkat remove rmdir rename renameat renameat2 link linkat symlink symlinkat
  mkdir mkdirat mkfifo mknod readlink readlinkat realpath canonicalize_file_name
  chmod fchmod fchmodat chown fchown lchown fchownat truncate ftruncate fallocate
  posix_fallocate fsync fdatasync sync_file_range copy_file_range sendfile splice
  utime utimes futimes lutimes utimensat futimens
  getxattr lgetxattr fgetxattr setxattr lsetxattr fsetxattr listxattr llistxattr flistxattr
  removexattr lremovexattr fremovexattr
)
pattern="(^|[^A-Za-z0-9_.>:]|[^A-Za-z0-9_]::)($(IFS='|'; echo "${names[*]}"))[[:space:]]*\\("

failures=0
while IFS= read -r file; do
  # Comments and string literals blanked, line by line, so line numbers stay true.
  while IFS= read -r hit; do
    echo "FAIL: ${file}:${hit%%:*}: $(sed -n "${hit%%:*}p" "$file" | sed 's/^[[:space:]]*//')"
    failures=$((failures + 1))
  done < <(sed -E -e 's#"([^"\\]|\\.)*"#""#g' -e "s#'([^'\\\\]|\\\\.)*'#''#g" -e 's#//.*$##' \
             -e 's#/\*.*\*/##g' "$file" | grep -nE "$pattern")
done < <(git ls-files -- 'toolkit/*.cpp' 'toolkit/*.h' 'text_editer/*.cpp' 'text_editer/*.h' \
           'file_editer/*.cpp' 'file_editer/*.h' 'diverter/*.cpp' 'diverter/*.h' \
           'launcher/*.cpp' 'launcher/*.h')
[ "$failures" -eq 0 ] || echo "$failures system call(s) outside core/: give core a function for each"
[ "$failures" -eq 0 ]
