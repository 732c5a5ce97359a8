#pragma once

#include <string>
#include <string_view>
#include <vector>

// The stand-in runtime's script language: one statement per line, each a function call
// whose arguments are string literals ("..." with \" \\ \n \t escapes), number literals,
// true, false, nil, or further calls. "--" or "#" starts a comment.

struct ScriptExpression {
    enum class Kind { Nil, Boolean, Number, String, Call };
    Kind kind = Kind::Nil;
    bool boolean = false;
    double number = 0.0;
    std::string text;  // a string's value, or the name of the called function
    std::vector<ScriptExpression> arguments;
};

struct ParsedLine {
    bool empty = true;      // nothing but blanks or a comment
    std::string statement;  // the statement's source, without comment and blanks
    ScriptExpression call;  // valid when neither empty nor failed
    std::string error;      // set when the line could not be read
};

ParsedLine ParseScriptLine(std::string_view line);
