#pragma once
// Plan data as the service sends it, small enough to reason about in a test: a header line, two
// teaching-process lines, an extendable list and a line of three editable cells.
#include <nlohmann/json.hpp>

#include <string>

namespace plantest {

inline nlohmann::json SamplePlan() {
    return nlohmann::json::parse(R"({
      "type": "plenvo", "id": 42, "title": "课 时 教 学 设 计", "lessiontitle": "荷塘月色", "grade": "10",
      "subject": "1", "modified": 1700000000000, "created": 1600000000000,
      "gridlines": [
        {"name": "template.header.info", "width": 160, "cells": [
          {"name": "template.grade.label", "width": 20, "height": 10, "readonly": true,
           "value": "年级"},
          {"name": "template.grade.value", "width": 30, "height": 10, "readonly": true},
          {"name": "template.subject.label", "width": 20, "height": 10, "readonly": true,
           "value": "学科"},
          {"name": "template.subject.value", "width": 90, "height": 10, "readonly": true}]},
        {"name": "template.row", "width": 160, "cells": [
          {"name": "row.a", "width": 40, "height": 10, "multiline": true, "wordwrap": true},
          {"name": "row.label", "width": 40, "height": 10, "readonly": true, "value": "标签"},
          {"name": "row.b", "width": 40, "height": 10, "multiline": true, "wordwrap": true,
           "value": "中间"},
          {"name": "row.c", "width": 40, "height": 10, "multiline": true, "wordwrap": true}]},
        {"name": "template.aims", "width": 160, "cells": [
          {"name": "template.aims.label", "width": 24, "height": 10, "readonly": true,
           "value": "教学目标"},
          {"name": "template.aims.list", "width": 136, "height": 10, "extendable": true,
           "extenddesc": {"name": "template.aims.INCRVAL", "width": 136, "cells": [
             {"name": "template.aims.INCRVAL.text", "width": 136, "height": 9,
              "multiline": true, "wordwrap": true, "deleteonempty": true, "nogridline": true}]},
           "lines": [{"name": "template.aims.1", "width": 136, "cells": [
             {"name": "template.aims.1.text", "width": 136, "height": 9, "multiline": true,
              "wordwrap": true, "deleteonempty": true, "nogridline": true, "value": "1."}]}]}]},
        {"name": "template.teachproc.7.container", "width": 160, "extendable": true,
         "cells": [
          {"name": "template.teachproc.7.aim", "width": 80, "height": 20, "multiline": true,
           "value": "导入"},
          {"name": "template.teachproc.7.step", "width": 80, "height": 20, "multiline": true,
           "value": "讲解"}]},
        {"name": "template.teachproc.8.container", "width": 160, "extendable": true,
         "removable": true, "cells": [
          {"name": "template.teachproc.8.aim", "width": 80, "height": 20, "multiline": true},
          {"name": "template.teachproc.8.step", "width": 80, "height": 20, "multiline": true}]}
      ]})");
}

} // namespace plantest
