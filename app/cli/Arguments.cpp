#include "app/cli/Arguments.h"

#include "app/cli/CliMain.h"

#include <algorithm>
#include <utility>

namespace vornal::cli {

namespace {

// Takes --key-env/--key-file (with the value apart or after "=") out of args into source.
// Sets error and answers false on a malformed or repeated one.
bool takeKeyOption(std::vector<std::string>& args, KeySource& source, std::string& error) {
    bool seen = false;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::optional<std::pair<KeySource::Kind, std::string>> found;
        for (auto [flag, kind] : {std::pair{std::string("--key-env"), KeySource::Kind::Env},
                                  std::pair{std::string("--key-file"), KeySource::Kind::File}}) {
            if (a == flag) {
                if (i + 1 >= args.size()) {
                    error = flag + " needs a value";
                    return false;
                }
                found.emplace(kind, args[++i]);
            } else if (a.rfind(flag + "=", 0) == 0) {
                found.emplace(kind, a.substr(flag.size() + 1));
            }
        }
        if (!found) {
            rest.push_back(a);
            continue;
        }
        if (seen) {
            error = "give the key only once (--key-env or --key-file)";
            return false;
        }
        if (found->second.empty()) {
            error = "the key option needs a non-empty value";
            return false;
        }
        seen = true;
        source.kind = found->first;
        source.name = std::move(found->second);
    }
    args = std::move(rest);
    return true;
}

} // namespace

std::optional<Arguments> parseArguments(std::vector<std::string> args, const std::string& command,
                                        Accepts accepts) {
    Arguments parsed;
    std::vector<std::string> afterSeparator;
    if (auto sep = std::find(args.begin(), args.end(), "--"); sep != args.end()) {
        afterSeparator.assign(sep + 1, args.end());
        args.erase(sep, args.end());
    }
    if (std::any_of(args.begin(), args.end(),
                    [](const std::string& a) { return a == "-h" || a == "--help"; })) {
        parsed.help = true;
        return parsed;
    }
    const auto refuse = [&](const std::string& error) {
        printError(error);
        printHint("see: vornal-cli " + command + " --help");
        return std::nullopt;
    };
    std::string error;
    if (accepts.key && !takeKeyOption(args, parsed.key, error)) {
        return refuse(error);
    }
    for (std::string& a : args) {
        if (accepts.quiet && (a == "-q" || a == "--quiet")) {
            parsed.quiet = true;
        } else if (a.size() > 1 && a[0] == '-' && (!accepts.dashOperands || a[1] == '-')) {
            return refuse("unknown option " + a);
        } else {
            parsed.operands.push_back(std::move(a));
        }
    }
    parsed.operands.insert(parsed.operands.end(), afterSeparator.begin(), afterSeparator.end());
    return parsed;
}

} // namespace vornal::cli
