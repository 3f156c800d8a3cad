#!/usr/bin/env bash
# Checks that a shared build of the library exports only its public interface:
#   scripts/check-symbols.sh path/to/liborvane-site.so
# Every strong dynamic symbol the library defines must name something in orvane::site outside
# the private namespaces (internal, transport, decoding, detail, ...): a public class's members,
# its vtable and typeinfo, or a public free function. A member whose signature names a private
# type fails too (mark it ORVANE_SITE_NO_EXPORT). Weak instantiations of the standard library's
# templates are allowed: every program that uses them makes the same ones, and the dynamic
# linker merges them. Anything naming simdjson, nlohmann, curl or a private namespace fails,
# whatever its kind.
set -euo pipefail
lib=${1:?usage: check-symbols.sh LIBRARY}

soname=$(objdump -p "$lib" | awk '/SONAME/ {print $2}')
if [ "$soname" != "liborvane-site.so.0" ]; then
  echo "check-symbols: SONAME is '$soname', expected liborvane-site.so.0"
  exit 1
fi

symbols=$(nm -D --defined-only -C "$lib")
# The kinds of symbol that belong to a public type: strip the prefix and check the name.
strip_kind='s/^(vtable for |typeinfo for |typeinfo name for |VTT for |construction vtable for |non-virtual thunk to |virtual thunk to |covariant return thunk to |guard variable for )//'
# Namespaces below orvane::site that are public; every other lower-case namespace is private.
public_namespaces='testing'
private='orvane::site::(internal|transport|decoding|detail|observe|text)::|anonymous namespace'

bad=$(printf '%s\n' "$symbols" | awk '{ kind=$2; $1=""; $2=""; sub(/^  /, ""); print kind "\t" $0 }' |
  while IFS=$'\t' read -r kind name; do
    plain=$(sed -E "$strip_kind" <<<"$name")
    if [[ "$plain" == orvane::site::* ]]; then
      rest=${plain#orvane::site::}
      # A lower-case word followed by "::" is a namespace.
      if [[ "$rest" =~ ^([a-z][A-Za-z0-9_]*):: ]] &&
         [[ " $public_namespaces " != *" ${BASH_REMATCH[1]} "* ]]; then
        printf '%s %s\n' "$kind" "$name"
      elif [[ "$plain" =~ $private ]]; then
        # A private type in a parameter or template argument.
        printf '%s %s\n' "$kind" "$name"
      fi
      continue
    fi
    # Weak instantiations of the standard library's templates and inline functions
    # (std::vector<std::string>::reserve, std::variant<..., orvane::site::Error> helpers, ...):
    # every program that uses them makes the same ones, and the dynamic linker merges them. Allowed
    # as long as they name nothing private or third-party.
    if [[ "$kind" =~ ^[WVu]$ && "$plain" == *std::* ]] &&
       ! [[ "$plain" =~ $private || "$plain" =~ simdjson|nlohmann|curl ]]; then
      continue
    fi
    printf '%s %s\n' "$kind" "$name"
  done | sort -u)

count=$(printf '%s\n' "$symbols" | wc -l)
if [ -n "$bad" ]; then
  echo "check-symbols: $lib exports symbols outside the public interface:"
  printf '%s\n' "$bad" | head -100
  echo "($(printf '%s\n' "$bad" | wc -l) of $count)"
  exit 1
fi
echo "check-symbols: $count exported symbols, all public; SONAME $soname"
